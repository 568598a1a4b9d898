#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <optional>

// PostgreSQL's binary COPY form, as the server documents it (COPY, "Binary Format"), and the
// binary forms of the two column types the day sums read.
class BinaryCopyReader {
public:
    enum class Read { Row, Nothing, Malformed };
    // Takes one message of the copy: the header before the first row, a row, or the trailer.
    Read take(QByteArrayView message);
    QByteArrayView row() const { return row_; }
    bool ended() const { return ended_; }

private:
    bool headerRead_ = false;
    bool ended_ = false;
    QByteArrayView row_;
};

namespace pgbinary {

inline qint64 bigEndian(QByteArrayView bytes, qsizetype at, int size) {
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | quint8(bytes[at + i]);
    if (size < 8 && (value >> (size * 8 - 1)))
        value |= ~quint64(0) << (size * 8); // the sign of a shorter number
    return qint64(value);
}

// The fields of a row of COPY's binary form: a count, then each field's length (-1 for NULL)
// and bytes. False when the row is not of that many fields.
template <size_t Count>
bool RowFields(QByteArrayView row, std::array<std::optional<QByteArrayView>, Count>& out) {
    if (row.size() < 2 || bigEndian(row, 0, 2) != qint64(Count))
        return false;
    qsizetype at = 2;
    for (auto& field : out) {
        if (row.size() - at < 4)
            return false;
        const qint64 length = bigEndian(row, at, 4);
        at += 4;
        if (length < 0) {
            field.reset();
            continue;
        }
        if (row.size() - at < length)
            return false;
        field = row.sliced(at, length);
        at += length;
    }
    return at == row.size();
}

// A timestamp: microseconds since 2000-01-01 00:00, the largest and smallest numbers standing
// for infinity and -infinity.
inline std::optional<qint64> Timestamp(QByteArrayView field) {
    if (field.size() != 8)
        return std::nullopt;
    return bigEndian(field, 0, 8);
}

// An interval as stored: its time in microseconds, its days and its months, each apart.
struct Interval {
    qint64 microseconds;
    qint32 days;
    qint32 months;
};
inline std::optional<Interval> IntervalOf(QByteArrayView field) {
    if (field.size() != 16)
        return std::nullopt;
    return Interval{bigEndian(field, 0, 8), qint32(bigEndian(field, 8, 4)),
                    qint32(bigEndian(field, 12, 4))};
}

constexpr qint64 kMicrosecondsPerSecond = 1000000;
constexpr qint64 kMicrosecondsPerDay = 86400 * kMicrosecondsPerSecond;
// Days from 1970-01-01 to 2000-01-01, and from 0001-01-01 and to 10000-01-01 from 2000-01-01.
constexpr qint64 kDaysFrom1970 = 10957;
constexpr qint64 kFirstPlainDay = -730119;
constexpr qint64 kEndOfPlainDays = 2921940;

// Whether the server's sums would count the call (kPlainCall in the report statements): a start
// from 0001-01-01 up to 10000-01-01 and a duration of no days or months and whole seconds, from
// none up to a day. Its talk seconds, when it would.
inline std::optional<qint64> PlainCallSeconds(std::optional<qint64> start,
                                              std::optional<Interval> duration) {
    if (!start || !duration || *start < kFirstPlainDay * kMicrosecondsPerDay ||
        *start >= kEndOfPlainDays * kMicrosecondsPerDay || duration->days != 0 ||
        duration->months != 0 || duration->microseconds < 0 ||
        duration->microseconds >= kMicrosecondsPerDay ||
        duration->microseconds % kMicrosecondsPerSecond != 0)
        return std::nullopt;
    return duration->microseconds / kMicrosecondsPerSecond;
}

// The day of a timestamp, counted from 1970-01-01, and its microsecond of that day.
inline qint64 DaySince1970(qint64 timestamp) {
    qint64 day = timestamp / kMicrosecondsPerDay;
    if (timestamp % kMicrosecondsPerDay < 0)
        --day;
    return day + kDaysFrom1970;
}
inline qint64 MicrosecondOfDay(qint64 timestamp) {
    const qint64 within = timestamp % kMicrosecondsPerDay;
    return within < 0 ? within + kMicrosecondsPerDay : within;
}

} // namespace pgbinary

inline BinaryCopyReader::Read BinaryCopyReader::take(QByteArrayView message) {
    if (!headerRead_) {
        // "PGCOPY\n\377\r\n\0", the flags, and the length of an extension area to skip.
        static constexpr char kSignature[] = "PGCOPY\n\377\r\n";
        const QByteArrayView signature(kSignature, 11);
        if (message.size() < 19 || !message.startsWith(signature))
            return Read::Malformed;
        const qint64 extension = pgbinary::bigEndian(message, 15, 4);
        if (extension < 0 || message.size() - 19 < extension)
            return Read::Malformed;
        headerRead_ = true;
        message = message.sliced(19 + extension);
        if (message.isEmpty())
            return Read::Nothing;
    }
    if (ended_)
        return Read::Malformed;
    if (message.size() == 2 && pgbinary::bigEndian(message, 0, 2) == -1) {
        ended_ = true;
        return Read::Nothing;
    }
    row_ = message;
    return Read::Row;
}
