#include "sortkeys.h"

#include "calllistmodel.h"

#include <cmath>

namespace {

SortKey numberKey(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 18)
        return {};
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return {};
        value = value * 10 + (c - '0');
    }
    return SortKey{0, value, 0};
}

QByteArrayView numberText(const CallRows& rows, int row, int column) {
    return column == 0 ? rows.callFrom(row) : rows.callTo(row);
}

} // namespace

SortKey SortKeyFor(const CallListModel& model, int row, int column) {
    const CallRows& rows = model.rows();
    switch (column) {
    case 0:
    case 1:
        return numberKey(numberText(rows, row, column));
    case 2: {
        const qint64 start = rows.start(row);
        if (start == CallRows::kStartIsText || start == CallRows::kNoStart)
            return {};
        return SortKey{0, start, 0};
    }
    default: {
        const auto seconds = model.durationSeconds(row);
        if (!seconds)
            return {};
        const double whole = std::floor(*seconds);
        return SortKey{0, qint64(whole), *seconds - whole};
    }
    }
}

int CompareEqualKeys(const CallListModel& model, int left, int right, int column,
                     const SortKey& key) {
    if (column <= 1) {
        const QByteArrayView a = numberText(model.rows(), left, column);
        const QByteArrayView b = numberText(model.rows(), right, column);
        return a.compare(b);
    }
    if (key.rank == 0)
        return 0; // the same moment or length: the list's order stands
    return model.text(left, column).compare(model.text(right, column));
}
