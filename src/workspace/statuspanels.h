#pragma once

#include <QStatusBar>

class QLabel;
class SymbolPanel;

// The status bar with four panels: 0 the connection symbols (68 pixels),
// 1 a third of the window width, 2 two fifths of it, 3 50 pixels or as wide
// as its text.
class StatusPanels : public QStatusBar {
    Q_OBJECT

public:
    static constexpr int kPanelCount = 4;

    explicit StatusPanels(QWidget *parent = nullptr);

    void SetPanelText(int panel, const QString &text);
    QString PanelText(int panel) const;
    // Panel 0: a connected symbol per connected session, each followed by a
    // lock when that session runs over SSL; main session first.
    void SetSessionSymbols(bool mainConnected, bool mainSsl, bool searchConnected, bool searchSsl);
    // Panels 1 and 2 take their share of the window width.
    void SetWindowWidth(int width);
    int PanelWidth(int panel) const;

    // The panels follow the window; they never keep it from getting narrower.
    QSize minimumSizeHint() const override;

private:
    static constexpr int kSystemTypeWidth = 50;

    void FitSystemTypePanel();

    SymbolPanel *m_symbols;
    QList<QLabel *> m_textPanels; // panels 1 to 3
};
