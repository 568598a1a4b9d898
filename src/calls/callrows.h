#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <limits>
#include <optional>
#include <vector>

// The listed calls, held compactly: the two numbers as UTF-8 in one buffer each, the start time
// and the duration as numbers. A day of a busy phone system lists a million rows, so a row costs
// about 20 bytes besides its numbers' characters instead of four strings. A start time or
// duration that has no number form (the driver's "infinity", an interval of days) keeps its text.
class CallRows {
public:
    // In place of a start or a duration: the text is kept beside the numbers.
    static constexpr qint64 kStartIsText = std::numeric_limits<qint64>::min();
    static constexpr qint32 kDurationIsText = std::numeric_limits<qint32>::min();
    // Nothing at all, as for a NULL.
    static constexpr qint64 kNoStart = kStartIsText + 1;
    static constexpr qint32 kNoDuration = kDurationIsText + 1;

    CallRows() = default;
    // A list whose memory runs out after so many rows: appending one more throws
    // std::bad_alloc, as a failed allocation would. Lets tests run out of memory at a known row.
    explicit CallRows(qsizetype rowsBeforeOutOfMemory)
        : rowsBeforeOutOfMemory_(rowsBeforeOutOfMemory) {}

    qsizetype size() const { return qsizetype(start_.size()); }
    bool empty() const { return start_.empty(); }
    // Room for so many rows, with numbers of about the given length.
    void reserve(qsizetype rows, qsizetype numberLength = 0);
    void clear();

    // Adds a row; false (and nothing added) when the numbers' texts outgrow what a list can hold.
    // Throws std::bad_alloc when memory runs out.
    // A start or duration of kStartIsText or kDurationIsText keeps the text given with it.
    bool append(QByteArrayView callFrom, QByteArrayView callTo, qint64 start, qint32 duration,
                const QString& startText = {}, const QString& durationText = {});
    void append(CallRows&& more);

    QByteArrayView callFrom(qsizetype row) const { return slice(fromText_, fromEnd_, row); }
    QByteArrayView callTo(qsizetype row) const { return slice(toText_, toEnd_, row); }
    qint64 start(qsizetype row) const { return start_[size_t(row)]; }
    qint32 duration(qsizetype row) const { return duration_[size_t(row)]; }
    QString startText(qsizetype row) const { return startTexts_.value(row); }
    QString durationText(qsizetype row) const { return durationTexts_.value(row); }

    // A row's duration in seconds, when it can be read.
    std::optional<double> durationSeconds(qsizetype row) const;
    // The same for a duration as a row holds it: seconds, or a marker with its text.
    static std::optional<double> DurationSecondsOf(qint32 duration, const QString& text);
    // The summed length of the calls in whole seconds; durations that cannot be read, or are
    // negative, count as nothing.
    qint64 talkSeconds() const;
    // How many calls have no duration that can be read (a NULL, or a text that is none).
    qsizetype unreadableDurations() const;

private:
    static QByteArrayView slice(const std::vector<char>& text, const std::vector<quint32>& ends,
                                qsizetype row) {
        const quint32 begin = row == 0 ? 0 : ends[size_t(row - 1)];
        return QByteArrayView(text.data() + begin, qsizetype(ends[size_t(row)] - begin));
    }

    std::vector<char> fromText_, toText_;
    std::vector<quint32> fromEnd_, toEnd_; // where each row's text ends
    std::vector<qint64> start_;            // TextForms start seconds, or a marker above
    std::vector<qint32> duration_;         // seconds, or a marker above
    QHash<qsizetype, QString> startTexts_, durationTexts_;
    qsizetype rowsBeforeOutOfMemory_ = -1; // negative: as many as memory holds
};
