#pragma once

#include "imagesaving.h"

#include <QWidget>

class ApplicationSettings;
class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;
class QToolButton;
class TImageLibThumbnails;

// "Diashow": the pictures of the images folder as a grid of thumbnails.
// The user marks thumbnails, opens one, saves marked ones elsewhere, stops
// a running load and changes size, colour and the automatic start. The
// slideshow fills the grid while it fetches; otherwise the window shows
// what the folder holds each time it is shown. Closing stores its bounds
// and destroys it.
class TThumbFromFileForm : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize kDefaultSize{597, 452};

    // "0 Bilder", "1 Bild", "12 Bilder".
    static QString CountText(int count);

    TThumbFromFileForm(ApplicationSettings &settings, const QString &folder, QWidget *parent = nullptr);

    const QString &Folder() const { return m_folder; }
    // Thumbnail size and grid colour from the settings.
    void ApplySettings();
    // Shows the window, also when it was minimised.
    void ShowAndRestore();
    // Clears the grid and shows every picture of the folder.
    void ReloadFromFolder();

    // The slideshow's load: the grid starts empty, the pictures come one by
    // one, and at the end the caption names the remote folder.
    void BeginLoad();
    // The window was opened by a load under way, with what the folder
    // holds so far.
    void JoinLoad();
    void AddImage(const QString &path);
    void FinishLoad(const QString &remoteFolder);

    // A load or a reload runs: input, the context menu and the settings
    // button are ignored meanwhile.
    bool Loading() const;
    QString PanelText(int panel) const;

    QToolBar *ToolBar1 = nullptr;
    QToolButton *SpeedButton1 = nullptr; // "Abbrechen"
    QToolButton *SpeedButton2 = nullptr; // "Einstellungen"
    TImageLibThumbnails *ImageLibThumbnails1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *Kopieren1 = nullptr; // "Speichern unter..."

signals:
    // "Abbrechen": the running load is to stop.
    void cancelRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildControls();
    void SetPanelText(int panel, const QString &text);
    void WriteCountText();
    void RefreshLoadingState();
    void ShowFinished();
    void Cancel();
    void OpenImage(int index);
    void ShowContextMenu(const QPoint &position);
    bool CanSave() const;
    void SaveAs();
    ExistingImageAnswer AskAboutExisting(const QString &source, const QString &folder);
    QString ChooseSaveFolder();
    void OpenProperties();

    ApplicationSettings &m_settings;
    QString m_folder;
    QLabel *m_countPanel = nullptr;
    QLabel *m_statePanel = nullptr;
    bool m_loadRunning = false;
    bool m_finishPending = false;
    bool m_saving = false;
};
