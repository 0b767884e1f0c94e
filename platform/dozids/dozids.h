// The interpreter's two identities.  Installed set-user-id and
// set-group-id to the database user, it runs with that user's effective
// ids (the real ids are its caller's): the server directory, its lock,
// result and dump files and the databases under it are the database
// user's alone.  A path a client names outside the server directory is
// opened with the caller's ids in effect, so that nobody reaches through
// the interpreter what they could not reach themselves.  Run by its
// owner, or without set-id bits, both identities are one and the scopes
// change nothing.
#pragma once

#include <string>
#include <sys/types.h>

namespace dozids {

// Records both identities; call once, first thing.  False (with the
// reason in `why`) when the program must not run: set-user-id or
// set-group-id to root for a caller that is not root.
bool init(std::string &why);

// Whether the caller's ids differ from the database user's.
bool split();

// The database user's uid (the effective one at start).
uid_t owner_uid();

// Within a scope the caller's (or the database user's) effective ids are
// in force; leaving it restores what was in force before.  Scopes may
// nest, and may be left in any order: the latest one still alive rules.
class Scope {
  public:
    explicit Scope(bool caller);
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

  private:
    unsigned long id_;
};

struct AsCaller : Scope {
    AsCaller() : Scope(true) {}
};
struct AsOwner : Scope {
    AsOwner() : Scope(false) {}
};

// Whether `path` lies in `dir` (by name: a path outside is opened as the
// caller, whatever links it holds).
bool inside(const std::string &dir, const std::string &path);

// The server directory to use: `wanted` (from the environment) when the
// database user owns it, else the directory of the running program when
// the database user owns that; "" when neither is.  With one identity
// (not split) `wanted` as it is.
std::string server_dir(const std::string &wanted);

// A folder of the caller's own for the files exchanged with the client
// (blob bytes, the blob fifo): made at first use under /tmp with the
// caller's ids, so that the client reaches its files and nobody else
// does; "" when it cannot be made.  Files in it are made and opened with
// the caller's ids in effect (AsCaller).  remove_exchange_dir() takes it
// away with what it holds.
std::string exchange_dir();
void remove_exchange_dir();

}  // namespace dozids
