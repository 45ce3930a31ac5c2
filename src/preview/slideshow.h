#pragma once

#include <QObject>
#include <QPointer>

class MainSession;
struct WindowParts;
class TThumbFromFileForm;
struct GalleryImage;

// The slideshow of the main window. "Diavorschau", and every listing while
// DiaShow is on, fetch the pictures of the remote pane's folder into the
// images folder and show them in the thumbnail window as they arrive. A
// load uses the main session only while nothing else does, and stops only
// itself: the thumbnail window's "Abbrechen", closing that window and the
// main window's abort commands end it.
class Slideshow : public QObject {
    Q_OBJECT

public:
    explicit Slideshow(WindowParts &parts);

    // The slideshow installed on the window, or null.
    static Slideshow *Of(const QObject &window);

    // "Diavorschau": shows the thumbnail window and, when the session is
    // free, loads the gallery; without a connection the window shows the
    // pictures of the last load.
    void ShowGallery();
    void LoadGallery();
    // The picture being fetched is cut off; no further one is fetched.
    void CancelLoad();

    bool LoadRunning() const { return m_loadRunning; }
    TThumbFromFileForm *ThumbnailWindow() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ConnectCommands();
    TThumbFromFileForm *OpenThumbnailWindow();
    void LoadAfterListing();
    void FetchImages(const QList<GalleryImage> &images, const QString &remoteFolder);
    bool FetchImage(const QString &remotePath, const QString &localPath, qint64 listedSize);
    void ShowFetchedImage(const QString &localPath);
    void FinishLoad(const QString &remoteFolder);
    bool StopRequested() const;
    void StopAfterThisImage();

    WindowParts &m_parts;
    MainSession &m_session;
    QPointer<TThumbFromFileForm> m_thumbnails;
    bool m_loadRunning = false;
    bool m_stopRequested = false;
};

// Called once after the main window was made.
Slideshow &InstallSlideshow(WindowParts &parts);
