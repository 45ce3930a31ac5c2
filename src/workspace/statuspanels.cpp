#include "statuspanels.h"

#include "symbols.h"

#include <QLabel>
#include <QPainter>

#include <algorithm>

using namespace Qt::StringLiterals;

// Panel 0: symbols drawn from the left edge without gaps, then its text.
class SymbolPanel : public QFrame {
public:
    explicit SymbolPanel(QWidget *parent)
        : QFrame(parent)
    {
        setObjectName(u"StatusPanel0"_s);
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setFixedWidth(68);
    }

    void SetSymbols(QList<QPixmap> symbols)
    {
        m_symbols = std::move(symbols);
        update();
    }

    void SetText(const QString &text)
    {
        m_text = text;
        setToolTip(text);
        update();
    }
    const QString &Text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QFrame::paintEvent(event);
        QPainter painter(this);
        const QRect area = contentsRect();
        int x = area.left();
        for (const QPixmap &symbol : std::as_const(m_symbols)) {
            painter.drawPixmap(x, area.top() + (area.height() - symbol.height()) / 2, symbol);
            x += symbol.width();
        }
        const QRect textArea(x + 2, area.top(), area.right() - x - 2, area.height());
        painter.drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(m_text, Qt::ElideRight, textArea.width()));
    }

private:
    QList<QPixmap> m_symbols;
    QString m_text;
};

StatusPanels::StatusPanels(QWidget *parent)
    : QStatusBar(parent)
    , m_symbols(new SymbolPanel(this))
{
    setObjectName(u"StatusBar"_s);
    setSizeGripEnabled(false);
    addWidget(m_symbols);
    for (int panel = 1; panel < kPanelCount; ++panel) {
        auto *label = new QLabel(this);
        label->setObjectName(u"StatusPanel"_s + QString::number(panel));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        addWidget(label);
        m_textPanels.append(label);
    }
    m_textPanels[2]->setFixedWidth(kSystemTypeWidth);
    SetWindowWidth(parent ? parent->width() : 0);
}

void StatusPanels::SetPanelText(int panel, const QString &text)
{
    if (panel == 0) {
        m_symbols->SetText(text);
    } else if (QLabel *label = m_textPanels.value(panel - 1)) {
        label->setText(text);
        label->setToolTip(text);
        if (label == m_textPanels.last())
            FitSystemTypePanel();
    }
}

// The server's system type ("UNIX Type: L8") is wider than the panel's 50
// pixels: the panel grows to show it whole.
void StatusPanels::FitSystemTypePanel()
{
    QLabel *label = m_textPanels.last();
    const int textWidth = label->text().isEmpty() ? 0 : label->sizeHint().width();
    label->setFixedWidth(std::max(kSystemTypeWidth, textWidth));
}

QString StatusPanels::PanelText(int panel) const
{
    if (panel == 0)
        return m_symbols->Text();
    const QLabel *label = m_textPanels.value(panel - 1);
    return label ? label->text() : QString();
}

void StatusPanels::SetSessionSymbols(bool mainConnected, bool mainSsl, bool searchConnected, bool searchSsl)
{
    QList<QPixmap> symbols;
    if (mainConnected) {
        symbols.append(Symbols::Connected());
        if (mainSsl)
            symbols.append(Symbols::Lock());
    }
    if (searchConnected) {
        symbols.append(Symbols::Search());
        if (searchSsl)
            symbols.append(Symbols::Lock());
    }
    m_symbols->SetSymbols(symbols);
}

void StatusPanels::SetWindowWidth(int width)
{
    m_textPanels[0]->setFixedWidth(width / 3);
    m_textPanels[1]->setFixedWidth(width * 2 / 5);
}

int StatusPanels::PanelWidth(int panel) const
{
    if (panel == 0)
        return m_symbols->minimumWidth();
    const QLabel *label = m_textPanels.value(panel - 1);
    return label ? label->minimumWidth() : 0;
}

QSize StatusPanels::minimumSizeHint() const
{
    return QSize(0, QStatusBar::minimumSizeHint().height());
}
