#pragma once

#include <QString>

namespace platform {

// The ODBC driver hands text over in the character set of the locale its process environment
// names. Under cron and other bare environments (LANG unset, C or POSIX) that is ASCII, and any
// other character in the database fails the whole statement. The database's text is UTF-8, so
// characters are taken as UTF-8 whatever the locale says: LC_CTYPE becomes C.UTF-8 (the driver
// reads the environment itself, so it is set there too), and dates, numbers and messages keep
// following the locale. A LC_ALL, which would override it, is passed on as LANG.
void ReadCharactersAsUtf8();

// The home folder the system's account of the user names; empty where there is no such record.
QString AccountHomeFolder();

} // namespace platform
