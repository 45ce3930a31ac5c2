#include "maintoolbar.h"

#include "activityindicator.h"

#include <QLayout>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

using namespace Qt::StringLiterals;

MainToolBar::MainToolBar(QWidget *parent)
    : QToolBar(parent)
{
    setObjectName(u"MainToolBar"_s);
    setWindowTitle(u"Werkzeugleiste"_s);
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(16, 16));

    Indicator = new ActivityIndicator(this);
    addWidget(Indicator);
    addSeparator();
    SpeedButton17 = AddButton(u"SpeedButton17"_s, u"Einstellungen"_s, u"Einstellungen"_s,
                              QStyle::SP_FileDialogDetailedView);
    SpeedButton1 = AddButton(u"SpeedButton1"_s, u"Verbinden"_s, u"Verbinden"_s, QStyle::SP_DriveNetIcon);
    SpeedButton2 = AddButton(u"SpeedButton2"_s, u"Trennen"_s, u"Trennen"_s, QStyle::SP_BrowserStop);
    SpeedButton2->setEnabled(false);
    addSeparator();
    SaveLogButton = AddButton(u"SaveLogButton"_s, u"Logdatei speichern "_s, u"Logdatei speichern "_s,
                              QStyle::SP_DialogSaveButton);
    SpeedButton11 = AddButton(u"SpeedButton11"_s, u"Einträge bearbeiten"_s, u"Einträge bearbeiten"_s,
                              QStyle::SP_FileDialogListView);
    addSeparator();
    LMDOfficeButton3 =
        AddButton(u"LMDOfficeButton3"_s, QString(), u" Suchen "_s, QStyle::SP_FileDialogContentsView);
    AddSearchMenu();
    SpeedButton19 = AddButton(u"SpeedButton19"_s, QString(), u"FTP Verbindungsliste aktualisieren"_s,
                              QStyle::SP_BrowserReload);
    SpeedButton20 = AddButton(u"SpeedButton20"_s, QString(), u"Diavorschau"_s, QStyle::SP_DesktopIcon);
    addSeparator();
    AboutButton =
        AddButton(u"AboutButton"_s, QString(), u"Über FTP Glimra"_s, QStyle::SP_MessageBoxInformation);
    SpeedButton12 = AddButton(u"SpeedButton12"_s, u"Programm beenden"_s, u"Programm beenden"_s,
                              QStyle::SP_DialogCloseButton);
}

QToolButton *MainToolBar::AddButton(const QString &objectName, const QString &caption, const QString &hint,
                                    QStyle::StandardPixmap icon)
{
    auto *button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setIcon(style()->standardIcon(icon, nullptr, this));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    if (caption.isEmpty()) {
        button->setText(hint.trimmed());
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    } else {
        button->setText(caption);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        m_captioned.append(button);
    }
    addWidget(button);
    return button;
}

void MainToolBar::AddSearchMenu()
{
    PopupMenu5 = new QMenu(this);
    PopupMenu5->setObjectName(u"PopupMenu5"_s);
    NeueSuche1 = PopupMenu5->addAction(u"Neue Suche"_s);
    NeueSuche1->setObjectName(u"NeueSuche1"_s);
    Suchergebnisse1 = PopupMenu5->addAction(u"Suchergebnisse"_s);
    Suchergebnisse1->setObjectName(u"Suchergebnisse1"_s);
    Sucheabbrechen1 = PopupMenu5->addAction(u"Suche abbrechen"_s);
    Sucheabbrechen1->setObjectName(u"Sucheabbrechen1"_s);
    Sucheabbrechen1->setEnabled(false);
    LMDOfficeButton3->setMenu(PopupMenu5);
    LMDOfficeButton3->setPopupMode(QToolButton::InstantPopup);
}

void MainToolBar::resizeEvent(QResizeEvent *event)
{
    QToolBar::resizeEvent(event);
    if (m_widthWithCaptions == 0)
        MeasureCaptions();
    FitCaptions();
}

void MainToolBar::MeasureCaptions()
{
    constexpr int kSeparatorWidth = 8;
    const int symbolOnly = AboutButton->sizeHint().width();
    m_widthWithCaptions =
        contentsMargins().left() + contentsMargins().right() + 2 * layout()->contentsMargins().left();
    for (QAction *action : actions()) {
        const QWidget *widget = widgetForAction(action);
        m_widthWithCaptions += (widget ? widget->sizeHint().width() : kSeparatorWidth) + layout()->spacing();
    }
    for (QToolButton *button : std::as_const(m_captioned))
        m_captionWidth.insert(button, button->sizeHint().width() - symbolOnly);
    m_captionsToDrop = {SpeedButton12, SpeedButton11, SaveLogButton,
                        SpeedButton17, SpeedButton2,  SpeedButton1};
}

void MainToolBar::FitCaptions()
{
    int needed = m_widthWithCaptions;
    for (QToolButton *button : std::as_const(m_captionsToDrop)) {
        const bool fits = needed <= width();
        if (!fits)
            needed -= m_captionWidth.value(button);
        button->setToolButtonStyle(fits ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    }
}
