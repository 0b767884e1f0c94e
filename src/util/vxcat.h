// Message catalogue access and the installation's directories.  A missing catalogue or message is harmless: it
// gives an empty text, never a null pointer.
#pragma once

#include <cstddef>
#include <nl_types.h>
#include <string>

// The handle value that means "no usable catalogue".
inline const nl_catd NL_NO_CATALOGUE = reinterpret_cast<nl_catd>(-1);

// Opens a catalogue and probes it by message 1 of set 1; a catalogue
// without that message counts as not open.
nl_catd nl_catopen(const char *path, int flag);
void nl_catclose(nl_catd handle);
const char *nl_catgets(nl_catd handle, int set, int number);

// ---- where things are installed -------------------------------------------

// The installation directory: $QYDIR, else "/usr/lib/qelbase".
std::string vx_install_dir();
// $DOZ_CLIENT_DIR, else $QYDIR; null when neither is set.
const char *vx_client_dir_env();
// The client directory: vx_client_dir_env(), else the installation directory.
std::string vx_client_dir();
// The server directory: $DOZ_SERVER_DIR, else the installation directory.
std::string vx_server_dir();
// The path of catalogue `name` under the client directory:
// messages/SUN4SOLARIS/$LANG/<name>.cat when it is readable, else the C one.
std::string vx_catalogue_path(const char *client_dir, const char *name);

// ---- catalogues ----------------------------------------------------------

// Locates and opens the catalogue `name` ("<name>.cat" under the client
// directory's messages/SUN4SOLARIS/$LANG, else .../C; a name with "/" is a
// path).  *status: 0 the language's served, 1 the C one, 2 none.
nl_catd open_msg_catalogue(const char *client_dir, const char *name, int *status);

// The interpreter's error texts, from its catalogue "kernel".
void init_qerror_handling(const char *client_dir);
int terminate_qerror_handling(int value);
// Copies at most n characters and a terminator (text has room for n + 1).
void nl_qmsg(int code, char *text, size_t n);
bool qerror_catalogue_open();
