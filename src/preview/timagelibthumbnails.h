#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QHash>
#include <QPixmap>

#include <vector>

class DecodeQueue;
struct DecodeResult;

// The thumbnail grid: one cell per image file with its picture scaled into
// the thumbnail size, the file name under it and a hint, separated by grid
// lines. Each thumbnail carries a mark; one cell may be the current one.
// Files are decoded on the decode pool and take their place in the order
// they were added as soon as their picture is ready; a file that cannot be
// read never gets a cell.
class TImageLibThumbnails : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int GridLineWidth = 5;
    static constexpr int kMinimumThumbnailSize = 30;

    explicit TImageLibThumbnails(QWidget *parent = nullptr);

    // At least kMinimumThumbnailSize is used for either.
    int ThumbnailWidth() const { return m_thumbnailSize.width(); }
    int ThumbnailHeight() const { return m_thumbnailSize.height(); }
    void SetThumbnailWidth(int width);
    void SetThumbnailHeight(int height);
    QColor Color() const { return m_color; }
    void SetColor(const QColor &color);

    void Clear();
    void AddFile(const QString &path);
    // Clears the grid and adds the gallery pictures of the folder.
    void LoadFolder(const QString &folder);
    // Files still being decoded are left out.
    void CancelDecoding();

    int Count() const { return int(m_thumbnails.size()); }
    // Files added whose pictures are not ready yet.
    int Pending() const;
    QString FilePath(int index) const;
    bool IsMarked(int index) const;
    int MarkedCount() const;
    // The marked files in grid order.
    QStringList MarkedFiles() const;
    // The current cell, -1 when there is none.
    int Current() const { return m_current; }
    void SetCurrent(int index);
    // While off, keys, clicks, double clicks and the context menu do nothing.
    void SetInputEnabled(bool enabled) { m_inputEnabled = enabled; }

    // In viewport coordinates.
    QRect CellRect(int index) const;
    int IndexAt(const QPoint &position) const;

signals:
    void countChanged(int count);
    // The last pending picture arrived or was cancelled.
    void decodingFinished();
    void thumbSelected(int index);
    void thumbDoubleClicked(int index);
    // Enter on the current cell.
    void openRequested(int index);
    void contextMenuRequested(const QPoint &globalPosition);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    struct Thumbnail {
        quint64 order = 0;
        QString path;
        QString name;
        QPixmap picture;
        QSize originalSize;
        bool marked = false;
    };

    void Receive(quint64 request, const DecodeResult &result);
    void Insert(Thumbnail thumbnail);
    void ForgetPending();
    QSize CellSize() const;
    int Columns() const;
    void UpdateScrollRange();
    void EnsureVisible(int index);
    void MoveCurrent(int key);
    void PaintCell(QPainter &painter, int index, const QRect &cell) const;
    QString Hint(int index) const;

    DecodeQueue *m_decoder;
    std::vector<Thumbnail> m_thumbnails;
    QHash<quint64, QString> m_requested; // request -> path, while decoding
    int m_current = -1;
    QSize m_thumbnailSize{120, 120};
    QColor m_color = Qt::white;
    bool m_inputEnabled = true;
};
