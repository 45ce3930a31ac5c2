#pragma once

#include "filetypesymbols.h"
#include "remoterow.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <vector>

// The rows of the remote list. Rows are set all at once after a listing
// (one reset, already sorted), so a folder of thousands of entries costs no
// per-row signals. Editing a caption does not change it: the model asks for
// the rename through renameRequested and the answer decides.
class RemoteListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kColumnCount = 4;
    // The drag format of remote rows; its data is the captions, one a line.
    static const QString kMimeType;

    explicit RemoteListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    FileTypeSymbols &Symbols() { return m_symbols; }

    const RemoteRow &Row(int row) const { return m_rows[std::size_t(row)]; }
    int Count() const { return int(m_rows.size()); }
    // The first row whose caption equals the name exactly, or -1.
    int FindCaption(const QString &caption) const;

    // Replaces every row and shows them sorted.
    void SetRows(std::vector<RemoteRow> rows, int sortColumn, int direction);
    // Sorts again; selections and other persistent indexes follow their rows.
    void Sort(int column, int direction);
    void SetCaption(int row, const QString &caption);
    void RemoveRow(int row);

    void SetHeaderSymbol(int column, const QIcon &symbol);
    // Whether captions (other than "..") may be edited at all right now.
    void SetEditingAllowed(bool allowed) { m_editingAllowed = allowed; }

signals:
    void renameRequested(const QPersistentModelIndex &index, const QString &oldCaption,
                         const QString &newCaption);

private:
    std::vector<RemoteRow> m_rows;
    FileTypeSymbols m_symbols;
    std::array<QIcon, kColumnCount> m_headerSymbols;
    bool m_editingAllowed = false;
};
