#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#endif

// The ODBC driver hands text over in the character set of the locale its process environment
// names. Under cron and other bare environments (LANG unset, C or POSIX) that is ASCII, and any
// other character in the database fails the whole statement. The database's text is UTF-8, so
// characters are taken as UTF-8 whatever the locale says: LC_CTYPE becomes C.UTF-8 (the driver
// reads the environment itself, so it is set there too), and dates, numbers and messages keep
// following the locale. A LC_ALL, which would override it, is passed on as LANG.
inline void ReadCharactersAsUtf8() {
#ifdef Q_OS_UNIX
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    if (codeset && std::strcmp(codeset, "UTF-8") == 0)
        return;
    if (const char* all = std::getenv("LC_ALL"); all && *all) {
        ::setenv("LANG", all, 1);
        ::unsetenv("LC_ALL");
    }
    ::setenv("LC_CTYPE", "C.UTF-8", 1);
    std::setlocale(LC_CTYPE, "");
#endif
}
