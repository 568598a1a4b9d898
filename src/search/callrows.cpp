#include "callrows.h"

namespace {

bool fits(const std::vector<char>& text, qsizetype more) {
    return quint64(text.size()) + quint64(more) <= std::numeric_limits<quint32>::max();
}

void appendText(std::vector<char>& text, std::vector<quint32>& ends, QByteArrayView value) {
    text.insert(text.end(), value.begin(), value.end());
    ends.push_back(quint32(text.size()));
}

} // namespace

void CallRows::reserve(qsizetype rows, qsizetype numberLength) {
    fromText_.reserve(size_t(rows * numberLength));
    toText_.reserve(size_t(rows * numberLength));
    fromEnd_.reserve(size_t(rows));
    toEnd_.reserve(size_t(rows));
    start_.reserve(size_t(rows));
    duration_.reserve(size_t(rows));
}

void CallRows::clear() {
    *this = CallRows();
}

bool CallRows::append(QByteArrayView callFrom, QByteArrayView callTo, qint64 start,
                      qint32 duration) {
    if (!fits(fromText_, callFrom.size()) || !fits(toText_, callTo.size()))
        return false;
    appendText(fromText_, fromEnd_, callFrom);
    appendText(toText_, toEnd_, callTo);
    start_.push_back(start);
    duration_.push_back(duration);
    return true;
}

void CallRows::append(CallRows&& more) {
    if (empty()) {
        *this = std::move(more);
        return;
    }
    const qsizetype offset = size();
    for (qsizetype row = 0; row < more.size(); ++row)
        append(more.callFrom(row), more.callTo(row), more.start(row), more.duration(row));
    for (auto it = more.startTexts_.cbegin(); it != more.startTexts_.cend(); ++it)
        startTexts_.insert(it.key() + offset, it.value());
    for (auto it = more.durationTexts_.cbegin(); it != more.durationTexts_.cend(); ++it)
        durationTexts_.insert(it.key() + offset, it.value());
}

void CallRows::replace(std::vector<char>& text, std::vector<quint32>& ends, qsizetype row,
                       QByteArrayView value) {
    const quint32 begin = row == 0 ? 0 : ends[size_t(row - 1)];
    const quint32 end = ends[size_t(row)];
    if (!fits(text, value.size() - qsizetype(end - begin)))
        return;
    text.erase(text.begin() + begin, text.begin() + end);
    text.insert(text.begin() + begin, value.begin(), value.end());
    const qint64 delta = value.size() - qint64(end - begin);
    for (size_t i = size_t(row); i < ends.size(); ++i)
        ends[i] = quint32(qint64(ends[i]) + delta);
}

void CallRows::setNumber(qsizetype row, int column, QByteArrayView text) {
    if (column == 0)
        replace(fromText_, fromEnd_, row, text);
    else
        replace(toText_, toEnd_, row, text);
}

void CallRows::setStart(qsizetype row, qint64 start, const QString& text) {
    start_[size_t(row)] = start;
    if (start == kStartIsText)
        startTexts_.insert(row, text);
    else if (!startTexts_.isEmpty())
        startTexts_.remove(row);
}

void CallRows::setDuration(qsizetype row, qint32 duration, const QString& text) {
    duration_[size_t(row)] = duration;
    if (duration == kDurationIsText)
        durationTexts_.insert(row, text);
    else if (!durationTexts_.isEmpty())
        durationTexts_.remove(row);
}
