#include "searchresultsmodel.h"

#include "datetext.h"
#include "symbols.h"

#include <QHash>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kCaptions[SearchResultsModel::ColumnCount] = {u"Name"_s,  u"FTP Server"_s, u"Ordner"_s,
                                                            u"Größe"_s, u"Datum"_s,      u"Info"_s};

template <class Value> int ThreeWay(const Value &a, const Value &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

qint64 WholeNumber(const QString &text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok ? value : 0;
}

} // namespace

SearchResultsModel::SearchResultsModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

int SearchResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SearchResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SearchResultsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const Row &row = m_rows[std::size_t(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        const SearchHit &hit = row.hit;
        const QString *texts[ColumnCount] = {&hit.name,     &hit.server,   &hit.folder,
                                             &hit.sizeText, &hit.dateText, &hit.attributes};
        return *texts[column];
    }
    if (role == Qt::DecorationRole && column == NameColumn)
        return m_symbols.Icon(row.symbol);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            (column == SizeColumn || column == DateColumn ? Qt::AlignRight : Qt::AlignLeft) |
            Qt::AlignVCenter);
    return QVariant();
}

QVariant SearchResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QVariant();
    if (role == Qt::DisplayRole)
        return kCaptions[section];
    if (role == Qt::DecorationRole && section == m_sortColumn)
        return Symbols::SortSymbol(m_direction);
    if (role == Qt::TextAlignmentRole && (section == SizeColumn || section == DateColumn))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

SearchResultsModel::Row SearchResultsModel::MakeRow(const SearchHit &hit)
{
    return {hit, WholeNumber(hit.sizeText), ParseDateText(hit.dateText),
            m_symbols.SymbolFor(hit.name, false, false), m_nextSerial++};
}

int SearchResultsModel::Add(const SearchHit &hit)
{
    Row row = MakeRow(hit);
    const auto place = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                                        [this](const Row &a, const Row &b) { return Before(a, b); });
    const int position = int(place - m_rows.begin());
    beginInsertRows(QModelIndex(), position, position);
    m_rows.insert(place, std::move(row));
    endInsertRows();
    return position;
}

int SearchResultsModel::AddAll(const QList<SearchHit> &hits)
{
    if (hits.isEmpty())
        return -1;
    beginResetModel();
    m_rows.reserve(m_rows.size() + std::size_t(hits.size()));
    for (const SearchHit &hit : hits)
        m_rows.push_back(MakeRow(hit));
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [this](const Row &a, const Row &b) { return Before(a, b); });
    endResetModel();
    return RowWithSerial(m_nextSerial - 1);
}

void SearchResultsModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_symbols.DropAdded();
    endResetModel();
}

void SearchResultsModel::SortBy(int column, int direction)
{
    m_sortColumn = std::clamp(column, 0, ColumnCount - 1);
    m_direction = direction == 1 ? 1 : -1;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<quint64> serials;
    for (const QModelIndex &index : before)
        serials.push_back(m_rows[std::size_t(index.row())].serial);
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [this](const Row &a, const Row &b) { return Before(a, b); });
    QHash<quint64, int> rowOf;
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        rowOf.insert(m_rows[row].serial, int(row));
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after.append(index(rowOf.value(serials[std::size_t(i)]), before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged();
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

QList<SearchHit> SearchResultsModel::Hits() const
{
    QList<SearchHit> hits;
    hits.reserve(qsizetype(m_rows.size()));
    for (const Row &row : m_rows)
        hits.append(row.hit);
    return hits;
}

int SearchResultsModel::Compare(const Row &a, const Row &b) const
{
    switch (m_sortColumn) {
    case SizeColumn:
        return ThreeWay(a.size, b.size);
    case DateColumn:
        // A date that cannot be read sorts before every readable one.
        if (a.date.isValid() != b.date.isValid())
            return a.date.isValid() ? 1 : -1;
        return ThreeWay(a.date, b.date);
    case ServerColumn:
        return m_collator.compare(a.hit.server, b.hit.server);
    case FolderColumn:
        return m_collator.compare(a.hit.folder, b.hit.folder);
    case InfoColumn:
        return m_collator.compare(a.hit.attributes, b.hit.attributes);
    default:
        return m_collator.compare(a.hit.name, b.hit.name);
    }
}

bool SearchResultsModel::Before(const Row &a, const Row &b) const
{
    return Compare(a, b) * -m_direction < 0;
}

int SearchResultsModel::RowWithSerial(quint64 serial) const
{
    const auto found =
        std::find_if(m_rows.begin(), m_rows.end(), [serial](const Row &row) { return row.serial == serial; });
    return found == m_rows.end() ? -1 : int(found - m_rows.begin());
}
