#include "terminal.h"

#include <QByteArray>

#include <cerrno>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace Terminal {

bool IsTerminal(int fd) {
#ifdef Q_OS_UNIX
    return ::isatty(fd) == 1;
#else
    Q_UNUSED(fd)
    return false;
#endif
}

void IgnoreBrokenPipe() {
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool LastWriteHitClosedPipe() {
#ifdef EPIPE
    return errno == EPIPE;
#else
    return false;
#endif
}

Line ReadLine(bool secret, qsizetype maxBytes) {
#ifdef Q_OS_UNIX
    termios saved{};
    const bool hide = secret && IsTerminal(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
#else
    Q_UNUSED(secret)
#endif
    QByteArray line;
    bool ended = false, tooLong = false;
    // One byte more than the limit, for the CR of a CR LF line end.
    for (int c; (c = std::getchar()) != EOF;) {
        if (c == '\n') {
            ended = true;
            break;
        }
        if (line.size() > maxBytes) {
            tooLong = true;
            break;
        }
        line += char(c);
    }
#ifdef Q_OS_UNIX
    if (hide) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr); // the Enter that was not echoed
    }
#endif
    if (line.endsWith('\r'))
        line.chop(1);
    if (tooLong || line.size() > maxBytes)
        return {Line::State::TooLong, {}};
    if (!ended && line.isEmpty())
        return {Line::State::Ended, {}};
    return {Line::State::Read, QString::fromLocal8Bit(line)};
}

} // namespace Terminal
