#include "remotelistmodel.h"

#include "remoterowsort.h"

#include <QMimeData>

using namespace Qt::StringLiterals;

namespace {

const QString kCaptions[RemoteListModel::kColumnCount] = {u"Name"_s, u"Größe"_s, u"Datum"_s, u"Info"_s};
const Qt::Alignment kAlignments[RemoteListModel::kColumnCount] = {Qt::AlignLeft, Qt::AlignRight,
                                                                  Qt::AlignLeft, Qt::AlignRight};

} // namespace

const QString RemoteListModel::kMimeType = u"application/x-glimra-remote-entries"_s;

RemoteListModel::RemoteListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int RemoteListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Count();
}

int RemoteListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant RemoteListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    const RemoteRow &row = Row(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case kNameColumn:
            return row.name;
        case kSizeColumn:
            return row.sizeText;
        case kDateColumn:
            return row.dateText;
        default:
            return row.info;
        }
    case Qt::DecorationRole:
        if (index.column() == kNameColumn && row.symbol != kNoSymbol)
            return m_symbols.Icon(row.symbol);
        return {};
    case Qt::TextAlignmentRole:
        return int(kAlignments[index.column()] | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant RemoteListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return kCaptions[section];
    case Qt::DecorationRole:
        return m_headerSymbols[std::size_t(section)];
    case Qt::TextAlignmentRole:
        return int(kAlignments[section] | Qt::AlignVCenter);
    default:
        return {};
    }
}

Qt::ItemFlags RemoteListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (Row(index.row()).IsParent())
        return flags;
    flags |= Qt::ItemIsDragEnabled;
    if (m_editingAllowed && index.column() == kNameColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool RemoteListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString oldCaption = Row(index.row()).name;
    const QString newCaption = value.toString();
    if (newCaption.isEmpty() || newCaption == oldCaption)
        return false;
    // The caption stays as it is until the rename has been answered.
    emit renameRequested(QPersistentModelIndex(index), oldCaption, newCaption);
    return false;
}

QStringList RemoteListModel::mimeTypes() const
{
    return {kMimeType};
}

QMimeData *RemoteListModel::mimeData(const QModelIndexList &indexes) const
{
    QStringList captions;
    for (const QModelIndex &index : indexes) {
        // One index per row: the name column's.
        if (index.isValid() && index.column() == kNameColumn && !Row(index.row()).IsParent())
            captions.append(Row(index.row()).name);
    }
    auto *data = new QMimeData;
    data->setData(kMimeType, captions.join(u'\n').toUtf8());
    return data;
}

Qt::DropActions RemoteListModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

int RemoteListModel::FindCaption(const QString &caption) const
{
    for (int row = 0; row < Count(); ++row) {
        if (m_rows[std::size_t(row)].name == caption)
            return row;
    }
    return -1;
}

void RemoteListModel::SetRows(std::vector<RemoteRow> rows, int sortColumn, int direction)
{
    const std::vector<int> order = RemoteRowOrder(rows, sortColumn, direction);
    std::vector<RemoteRow> sorted;
    sorted.reserve(rows.size());
    for (int from : order)
        sorted.push_back(std::move(rows[std::size_t(from)]));
    beginResetModel();
    m_rows = std::move(sorted);
    endResetModel();
}

void RemoteListModel::Sort(int column, int direction)
{
    const std::vector<int> order = RemoteRowOrder(m_rows, column, direction);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newPosition(order.size());
    std::vector<RemoteRow> sorted;
    sorted.reserve(m_rows.size());
    for (std::size_t to = 0; to < order.size(); ++to) {
        newPosition[std::size_t(order[to])] = int(to);
        sorted.push_back(std::move(m_rows[std::size_t(order[to])]));
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(this->index(newPosition[std::size_t(index.row())], index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void RemoteListModel::SetCaption(int row, const QString &caption)
{
    m_rows[std::size_t(row)].name = caption;
    emit dataChanged(index(row, kNameColumn), index(row, kNameColumn));
}

void RemoteListModel::RemoveRow(int row)
{
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void RemoteListModel::SetHeaderSymbol(int column, const QIcon &symbol)
{
    m_headerSymbols[std::size_t(column)] = symbol;
    emit headerDataChanged(Qt::Horizontal, column, column);
}
