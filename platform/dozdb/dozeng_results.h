// The record of each connection's result tables, kept in the lock file of
// its result-table prefix in the server directory, so that the tables of a
// connection that ended without closing (its interpreter killed) can be
// told from user tables of like names and dropped later.
#pragma once

#include <functional>
#include <string>

namespace doz {

// `<server dir>/.result.<prefix>.lock`: the file whose lock a live
// connection holds, and whose lines ("root<TAB>table") name its result
// tables.
std::string result_lock_path(const std::string &server_dir, const std::string &prefix);

// Adds `table` of the database at `root` to the prefix's record.
void record_result_table(const std::string &server_dir, const std::string &prefix, const std::string &root,
                         const std::string &table);

// Hands each result table recorded for the database at `root` to `drop`
// and takes it out of its record: the own prefix's (whose lock this
// process holds), and those of every prefix whose lock is free (its
// connection has ended).
void sweep_result_tables(const std::string &server_dir, const std::string &own_prefix, const std::string &root,
                         const std::function<void(const std::string &table)> &drop);

}  // namespace doz
