#include "slideshow.h"

#include "applicationsettings.h"
#include "datafolders.h"
#include "endsteps.h"
#include "filedownload.h"
#include "folderemptying.h"
#include "idexceptions.h"
#include "imagelibrary.h"
#include "mainsession.h"
#include "maintoolbar.h"
#include "remotebrowser.h"
#include "remotelisting.h"
#include "remotepane.h"
#include "sessioncontrol.h"
#include "statuspanels.h"
#include "thumbnailbounds.h"
#include "tidantifreeze.h"
#include "transferengine.h"
#include "tthumbfromfileform.h"
#include "windowparts.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QScreen>
#include <QToolButton>

using namespace Qt::StringLiterals;

struct GalleryImage {
    QString name;
    qint64 size = 0;
};

namespace {

// The pictures among the pane's files, in pane order; empty files are left
// out, and so is row 0, "..".
QList<GalleryImage> ImagesToFetch(const std::vector<RemotePaneEntry> &entries)
{
    QList<GalleryImage> images;
    for (std::size_t index = 1; index < entries.size(); ++index) {
        const RemoteRow &row = entries[index].row;
        if (row.Kind() == RemoteRow::kFile && row.SizeValue() > 0 && ImageLibrary::IsGalleryImage(row.name))
            images.append({row.name, row.SizeValue()});
    }
    return images;
}

} // namespace

Slideshow::Slideshow(WindowParts &parts)
    : QObject(parts.window)
    , m_parts(parts)
    , m_session(*parts.session)
{
    setObjectName(u"Slideshow"_s);
    ConnectCommands();
    // Closing the main window closes the thumbnail window first, so that
    // its bounds are among the settings written then.
    parts.window->installEventFilter(this);
}

Slideshow *Slideshow::Of(const QObject &window)
{
    return window.findChild<Slideshow *>(u"Slideshow"_s, Qt::FindDirectChildrenOnly);
}

void Slideshow::ConnectCommands()
{
    connect(m_parts.toolBar->SpeedButton20, &QToolButton::clicked, this, &Slideshow::ShowGallery);
    // Once the listing has finished in full: its flags cleared, its rows shown.
    connect(m_parts.browser, &RemoteBrowser::galleryLoadRequested, this, &Slideshow::LoadAfterListing,
            Qt::QueuedConnection);
    // The main window's abort commands stop a load as they stop a transfer;
    // the button has cut the running one already.
    RemotePane *pane = m_parts.remote;
    connect(pane->SpeedButton10, &QToolButton::clicked, this, &Slideshow::StopAfterThisImage);
    connect(pane->Datentransferabbrechen1, &QAction::triggered, this, &Slideshow::StopAfterThisImage);
}

TThumbFromFileForm *Slideshow::ThumbnailWindow() const
{
    return m_thumbnails;
}

// --- the thumbnail window ---------------------------------------------------

void Slideshow::ShowGallery()
{
    if (m_thumbnails)
        m_thumbnails->ShowAndRestore();
    else
        OpenThumbnailWindow();
    if (m_session.Remote().IsConnected())
        m_session.RunSessionCommand([this] { LoadGallery(); });
}

TThumbFromFileForm *Slideshow::OpenThumbnailWindow()
{
    m_thumbnails = new TThumbFromFileForm(*m_parts.settings, m_parts.folders->ImagesFolder(), m_parts.window);
    if (const QScreen *screen = m_parts.window->screen()) {
        if (const std::optional<QRect> bounds = RestoredThumbnailBounds(*m_parts.settings, screen->size())) {
            m_thumbnails->resize(bounds->size());
            m_thumbnails->move(bounds->topLeft());
        }
    }
    m_thumbnails->installEventFilter(this);
    connect(m_thumbnails, &TThumbFromFileForm::cancelRequested, this, &Slideshow::CancelLoad);
    m_thumbnails->ShowAndRestore();
    return m_thumbnails;
}

bool Slideshow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close) {
        if (watched == m_parts.window && m_thumbnails) {
            m_thumbnails->close();
        } else if (watched == m_thumbnails) {
            // Whoever closes the window no longer wants its pictures.
            CancelLoad();
            m_thumbnails = nullptr;
        }
    }
    return QObject::eventFilter(watched, event);
}

// --- the load -------------------------------------------------------------------

// Inside a download, upload, delete or move the session is busy: their
// walks list folders through the pane, and a load there would interleave
// with them.
void Slideshow::LoadAfterListing()
{
    if (m_session.SessionIdle())
        m_session.RunCommand([this] { LoadGallery(); });
}

void Slideshow::LoadGallery()
{
    if (m_loadRunning || !m_session.SessionIdle())
        return;
    const QString remoteFolder = m_session.RemoteFolder();
    const QList<GalleryImage> images = ImagesToFetch(m_parts.browser->Entries());
    m_stopRequested = false;
    m_loadRunning = true;
    m_parts.browser->SetThumbnailsLoading(true);
    const auto loaded = qScopeGuard([this] {
        m_loadRunning = false;
        m_parts.browser->SetThumbnailsLoading(false);
    });
    if (m_thumbnails)
        m_thumbnails->BeginLoad();
    FolderEmptying::EmptyInBackground(m_parts.folders->ImagesFolder(), m_parts.folders->TmpFolder());
    RunWithEndSteps([&] { FetchImages(images, remoteFolder); }, [&] { FinishLoad(remoteFolder); });
}

void Slideshow::FetchImages(const QList<GalleryImage> &images, const QString &remoteFolder)
{
    const QString imagesFolder = m_parts.folders->ImagesFolder();
    for (const GalleryImage &image : images) {
        TIdAntiFreeze::DoProcessThrottled();
        if (StopRequested())
            return;
        if (!IsSafeLocalName(image.name)) {
            m_parts.control->AddLogLine(u"Bild übersprungen, sein Name taugt nicht als lokaler Name: "_s +
                                        image.name);
            continue;
        }
        m_session.Flags.ExpectedSize = image.size;
        m_parts.status->SetPanelText(1, image.name);
        const QString localPath = imagesFolder + image.name;
        if (FetchImage(WithTrailingSlash(remoteFolder) + image.name, localPath, image.size))
            ShowFetchedImage(localPath);
        TIdAntiFreeze::DoProcessThrottled();
        if (StopRequested())
            return;
    }
}

// A refused or cut transfer leaves no file behind; the load goes on with
// the next picture unless it was asked to stop.
bool Slideshow::FetchImage(const QString &remotePath, const QString &localPath, qint64 listedSize)
{
    FileDownload image;
    image.remotePath = remotePath;
    image.target = localPath;
    image.knownSize = listedSize;
    image.leftover = PartFile::Leftover::Remove;
    // A cut transfer answers with the session in step; a picture that did
    // not arrive whole is left out like a refused one.
    try {
        return ReceiveFile(m_session.Remote(), image, [this] { return StopRequested(); }) ==
               DownloadOutcome::Completed;
    } catch (const EIdIncompleteFile &) {
        return false;
    }
}

void Slideshow::ShowFetchedImage(const QString &localPath)
{
    if (m_thumbnails) {
        m_thumbnails->AddImage(localPath);
        return;
    }
    // Closing the window stopped the load: it does not open again.
    if (m_stopRequested)
        return;
    // The new window's first showing reads the folder, this picture included.
    OpenThumbnailWindow()->JoinLoad();
}

void Slideshow::FinishLoad(const QString &remoteFolder)
{
    m_parts.status->SetPanelText(1, QString());
    if (m_thumbnails)
        m_thumbnails->FinishLoad(remoteFolder);
}

bool Slideshow::StopRequested() const
{
    return m_stopRequested || !m_session.Remote().IsConnected();
}

void Slideshow::CancelLoad()
{
    if (!m_loadRunning)
        return;
    StopAfterThisImage();
    // Cuts the picture being fetched; between pictures it sends nothing.
    m_session.Remote().Abort();
}

void Slideshow::StopAfterThisImage()
{
    if (!m_loadRunning)
        return;
    m_stopRequested = true;
}

Slideshow &InstallSlideshow(WindowParts &parts)
{
    if (Slideshow *installed = Slideshow::Of(*parts.window))
        return *installed;
    return *new Slideshow(parts);
}
