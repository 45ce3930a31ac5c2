#include "remoterowsort.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

int Group(const RemoteRow &row)
{
    if (row.IsParent())
        return 0;
    return row.symbol == kFolderSymbol ? 1 : 2;
}

template <class Key> int CompareKeys(const Key &a, const Key &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Keys are worked out once per row: a listing of ten thousand entries must
// not run the collator a few hundred thousand times.
template <class Key, class MakeKey>
std::vector<int> OrderBy(const std::vector<RemoteRow> &rows, int direction, MakeKey makeKey,
                         int (*compare)(const Key &, const Key &))
{
    std::vector<Key> keys;
    keys.reserve(rows.size());
    for (const RemoteRow &row : rows)
        keys.push_back(makeKey(row));
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int groupA = Group(rows[a]);
        const int groupB = Group(rows[b]);
        if (groupA != groupB)
            return groupA < groupB;
        return -compare(keys[a], keys[b]) * direction < 0;
    });
    return order;
}

int CompareCollated(const QCollatorSortKey &a, const QCollatorSortKey &b)
{
    return a.compare(b);
}

} // namespace

std::vector<int> RemoteRowOrder(const std::vector<RemoteRow> &rows, int column, int direction)
{
    switch (column) {
    case kSizeColumn:
        return OrderBy<qint64>(
            rows, direction, [](const RemoteRow &row) { return row.SizeValue(); }, &CompareKeys<qint64>);
    case kDateColumn:
        return OrderBy<qint64>(
            rows, direction,
            [](const RemoteRow &row) {
                return row.timestamp.isValid() ? row.timestamp.toMSecsSinceEpoch()
                                               : std::numeric_limits<qint64>::min();
            },
            &CompareKeys<qint64>);
    case kInfoColumn:
        return OrderBy<QString>(
            rows, direction, [](const RemoteRow &row) { return row.info.toCaseFolded(); },
            &CompareKeys<QString>);
    default: {
        QCollator collator{QLocale()};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        return OrderBy<QCollatorSortKey>(
            rows, direction, [&collator](const RemoteRow &row) { return collator.sortKey(row.name); },
            &CompareCollated);
    }
    }
}
