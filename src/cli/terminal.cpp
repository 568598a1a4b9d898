#include "terminal.h"

#include "console.h"

#include <QByteArray>

#include <cstdio>
#include <optional>

namespace Terminal {

bool IsTerminal(int fd) {
    return platform::IsTerminal(fd);
}

void IgnoreBrokenPipe() {
    platform::IgnoreBrokenPipe();
}

bool LastWriteHitClosedPipe() {
    return platform::LastWriteHitClosedPipe();
}

Line ReadLine(bool secret, qsizetype maxBytes) {
    std::optional<platform::HiddenTyping> hidden;
    if (secret)
        hidden.emplace();
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
    if (hidden && hidden->active()) {
        hidden.reset();
        std::fputc('\n', stderr); // the Enter that was not echoed
    }
    if (line.endsWith('\r'))
        line.chop(1);
    if (tooLong || line.size() > maxBytes)
        return {Line::State::TooLong, {}};
    if (!ended && line.isEmpty())
        return {Line::State::Ended, {}};
    return {Line::State::Read, QString::fromLocal8Bit(line)};
}

} // namespace Terminal
