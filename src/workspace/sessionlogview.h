#pragma once

#include <QAbstractScrollArea>
#include <QStringList>
#include <QTimer>

#include <array>

class QAction;
class QMenu;

// The session log under the panes (ListBox1): one text line per entry, with
// its context menu. Failed replies (code 500 and above) are drawn red. Only
// the visible lines are painted, and adding a line only stores it: scroll
// bars, widths and the scroll to the new line follow once per turn of the
// event loop, so a burst of lines or a log of 100,000 lines costs a
// transfer next to nothing.
class SessionLogView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit SessionLogView(QWidget *parent = nullptr);

    // Drops the oldest lines while more than limit remain (0 keeps every
    // line), appends the line, selects it and scrolls it into view (at the
    // next turn of the event loop). The log thus holds at most limit + 1
    // lines.
    void AddLine(const QString &line, int limit);
    void Clear();
    const QStringList &Lines() const { return m_lines; }
    int Count() const { return int(m_lines.size()); }
    // -1 when no line is selected.
    int SelectedRow() const { return m_selected; }
    void SelectRow(int row);
    // The widest line seen so far, in pixels: how far the log scrolls sideways.
    int HorizontalExtent();

    // The number in the line's characters 6 to 10 (counting from 1), 0 when
    // they hold none: the reply code of an "Erh.: " line.
    static int ReplyCodeOf(QStringView line);
    static QColor TextColor(QStringView line, bool selected);
    static QColor BackgroundColor(bool selected);

    QMenu *ContextMenu = nullptr;
    QAction *SaveLogItem = nullptr;   // "Logdatei speichern"
    QAction *ClearLogItem = nullptr;  // "Liste leeren"
    QAction *ToggleLogItem = nullptr; // "Log deaktivieren" / "Log aktivieren"

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int LineHeight() const;
    int FullyVisibleLines() const;
    int RowAt(int y) const;
    void ScheduleLayout();
    void ApplyLayout();
    void MeasureCharacters();
    int TextWidth(const QString &line) const;
    void UpdateScrollBars();
    void ScrollToRow(int row);

    QStringList m_lines;
    int m_selected = -1;
    int m_extent = 0;
    // Lines at the end whose width has not been taken into the extent yet.
    qsizetype m_unmeasured = 0;
    bool m_followSelection = false;
    QTimer m_layoutTimer;
    // Advances of the Latin-1 characters in the view's font.
    std::array<int, 256> m_advances{};
};
