#pragma once

#include <QStyle>
#include <QToolBar>

class ActivityIndicator;
class QAction;
class QMenu;
class QToolButton;

// The main window's tool bar, left to right: activity indicator, settings,
// connect, disconnect, save log, edit entries, search menu, list update,
// slideshow, about, quit. The window and later commands connect to the
// buttons; this class only builds them. When the window is too narrow for
// every caption, the less needed buttons show their symbols only.
class MainToolBar : public QToolBar {
    Q_OBJECT

public:
    explicit MainToolBar(QWidget *parent = nullptr);

    // Owned by the bar; created in the order they appear.
    ActivityIndicator *Indicator = nullptr;
    QToolButton *SpeedButton17 = nullptr;    // "Einstellungen"
    QToolButton *SpeedButton1 = nullptr;     // "Verbinden"
    QToolButton *SpeedButton2 = nullptr;     // "Trennen"
    QToolButton *SaveLogButton = nullptr;    // "Logdatei speichern "
    QToolButton *SpeedButton11 = nullptr;    // "Einträge bearbeiten"
    QToolButton *LMDOfficeButton3 = nullptr; // search, with PopupMenu5
    QMenu *PopupMenu5 = nullptr;
    QAction *NeueSuche1 = nullptr;
    QAction *Suchergebnisse1 = nullptr;
    QAction *Sucheabbrechen1 = nullptr;
    QToolButton *SpeedButton19 = nullptr; // connection list update
    QToolButton *SpeedButton20 = nullptr; // slideshow
    QToolButton *AboutButton = nullptr;
    QToolButton *SpeedButton12 = nullptr; // "Programm beenden"

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void MeasureCaptions();
    void FitCaptions();
    QToolButton *AddButton(const QString &objectName, const QString &caption, const QString &hint,
                           QStyle::StandardPixmap icon);
    void AddSearchMenu();

    QList<QToolButton *> m_captioned;
    // The order in which captions give way, and what each one costs.
    QList<QToolButton *> m_captionsToDrop;
    QHash<QToolButton *, int> m_captionWidth;
    int m_widthWithCaptions = 0;
};
