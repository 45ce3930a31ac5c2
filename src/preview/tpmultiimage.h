#pragma once

#include "imagelibrary.h"

#include <QScrollArea>

class DecodeQueue;
class QLabel;
struct DecodeResult;

// Shows one image file scaled to fit its frame, the aspect ratio kept, in
// a scroll area. The file is decoded away from the window's thread; loaded()
// follows when its picture and information are there (or known missing).
class TPMultiImage : public QScrollArea {
    Q_OBJECT

public:
    explicit TPMultiImage(QWidget *parent = nullptr);

    void LoadFile(const QString &path);
    // Pictures with more colours than the screen are dithered rather than
    // rounded to the nearest colour.
    void SetDithering(bool on) { m_dithering = on; }

    bool IsLoaded() const { return m_loaded; }
    bool HasPicture() const { return m_hasPicture; }
    const std::optional<ImageInformation> &Information() const { return m_information; }

signals:
    void loaded();

private:
    void Receive(quint64 request, const DecodeResult &result);

    DecodeQueue *m_decoder;
    QLabel *m_picture;
    quint64 m_request = 0;
    bool m_dithering = false;
    bool m_loaded = false;
    bool m_hasPicture = false;
    std::optional<ImageInformation> m_information;
};
