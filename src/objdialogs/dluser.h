// The user editor (18) and the privilege editor (19): selection dialogs of
// one build listing the database's users with their levels, or the
// privileges granted on one table, with a user name, an option menu of
// levels and a Delete that keeps the dialog open.  A new user's password
// is asked for with the password dialog (26), borrowed before the apply.
#pragma once

#include "dlmain.h"

#include <string>

void dluser_initialise_user_dialog(DialogRecord *rec);       // 18
void dlpriv_initialise_privilege_dialog(DialogRecord *rec);  // 19

// The built-in default user name a blank user name becomes.
inline constexpr const char *DLUSER_DEFAULT_USER = "BRASK";

// Level names of the user editor (0-2) and privilege names of the
// privilege editor (0-7); empty for another index.
std::string dluser_level_name(int level);
std::string dlpriv_privilege_name(int privilege);

// The list lines: "%-*s %s" (15) and "%-*s %-*s  %s" (15, 9).
std::string dluser_user_line(const char *name, int level);
std::string dlpriv_privilege_line(const char *user, int privilege, const char *restriction);
// The restriction a privilege line stands for: empty for the text the
// lines show when none is set.
std::string dlpriv_restriction_of(const char *restriction);

// The sensitivity rules, for a name as typed (trimmed and upper-cased
// here) and the connection's own user name.
bool dluser_level_sensitive(const std::string &name, const std::string &current);
bool dluser_delete_sensitive(int title_mode, const std::string &name, const std::string &current);
bool dlpriv_option_sensitive(const std::string &name, const std::string &current, bool dba);
bool dlpriv_delete_sensitive(int title_mode, const std::string &name, const std::string &current, bool dba);
// Whether a privilege takes a restriction (Read and Write).
bool dlpriv_takes_restriction(int privilege);
