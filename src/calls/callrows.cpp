#include "callrows.h"

#include "textforms.h"
#include "timefunctions.h"

#include <cmath>
#include <new>

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
    *this = CallRows(rowsBeforeOutOfMemory_);
}

bool CallRows::append(QByteArrayView callFrom, QByteArrayView callTo, qint64 start, qint32 duration,
                      const QString& startText, const QString& durationText) {
    if (!fits(fromText_, callFrom.size()) || !fits(toText_, callTo.size()))
        return false;
    if (rowsBeforeOutOfMemory_ >= 0 && size() >= rowsBeforeOutOfMemory_)
        throw std::bad_alloc();
    if (start == kStartIsText)
        startTexts_.insert(size(), startText);
    if (duration == kDurationIsText)
        durationTexts_.insert(size(), durationText);
    appendText(fromText_, fromEnd_, callFrom);
    appendText(toText_, toEnd_, callTo);
    start_.push_back(start);
    duration_.push_back(duration);
    return true;
}

void CallRows::append(CallRows&& more) {
    if (empty()) {
        // The rows move in; this list's own room stays.
        const qsizetype room = rowsBeforeOutOfMemory_;
        *this = std::move(more);
        rowsBeforeOutOfMemory_ = room;
        return;
    }
    for (qsizetype row = 0; row < more.size(); ++row)
        append(more.callFrom(row), more.callTo(row), more.start(row), more.duration(row),
               more.startText(row), more.durationText(row));
}

std::optional<double> CallRows::DurationSecondsOf(qint32 duration, const QString& text) {
    if (duration == kDurationIsText)
        return TimeFunctions::DurationToSeconds(QStringView(text));
    if (duration == kNoDuration)
        return std::nullopt;
    return double(duration);
}

std::optional<double> CallRows::durationSeconds(qsizetype row) const {
    const qint32 duration = duration_[size_t(row)];
    return DurationSecondsOf(duration,
                             duration == kDurationIsText ? durationTexts_.value(row) : QString());
}

qint64 CallRows::talkSeconds() const {
    double total = 0;
    for (qsizetype row = 0; row < size(); ++row) {
        if (const auto seconds = durationSeconds(row); seconds && *seconds > 0)
            total += *seconds;
    }
    return TextForms::WholeSeconds(total);
}

qsizetype CallRows::unreadableDurations() const {
    qsizetype count = 0;
    for (qsizetype row = 0; row < size(); ++row)
        count += !durationSeconds(row).has_value();
    return count;
}
