#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <clocale>
#include <cstring>
#include <langinfo.h>
#endif

// The ODBC driver hands text over in the character set of the C library's locale. Under cron and
// other bare environments (LANG unset, C or POSIX) that is ASCII, and any other character in the
// database fails the whole statement. The database's text is UTF-8, so characters are taken as
// UTF-8 whatever the locale says; dates, numbers and messages keep following the locale.
inline void ReadCharactersAsUtf8() {
#ifdef Q_OS_UNIX
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    if (codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0))
        return;
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::setlocale(LC_CTYPE, "C.utf8");
#endif
}
