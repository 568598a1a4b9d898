#include "process.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

#include <langinfo.h>
#include <pwd.h>
#include <unistd.h>

namespace platform {

void ReadCharactersAsUtf8() {
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
}

QString AccountHomeFolder() {
    if (const passwd* account = ::getpwuid(::geteuid()); account && account->pw_dir)
        return QString::fromLocal8Bit(account->pw_dir);
    return {};
}

} // namespace platform
