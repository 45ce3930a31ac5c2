#include "tpmultiimage.h"

#include "decodequeue.h"

#include <QLabel>
#include <QPixmap>

TPMultiImage::TPMultiImage(QWidget *parent)
    : QScrollArea(parent)
    , m_decoder(new DecodeQueue(this))
    , m_picture(new QLabel)
{
    m_picture->setAlignment(Qt::AlignCenter);
    setWidget(m_picture);
    setWidgetResizable(true);
    setAlignment(Qt::AlignCenter);
    connect(m_decoder, &DecodeQueue::decoded, this, &TPMultiImage::Receive);
}

void TPMultiImage::LoadFile(const QString &path)
{
    m_decoder->CancelAll();
    m_picture->clear();
    m_loaded = m_hasPicture = false;
    m_information.reset();
    // Before the first layout only the frame around the control knows its size.
    const QWidget *frameWidget = parentWidget() ? parentWidget() : this;
    const QSize frame = frameWidget->size() - QSize(6, 6);
    m_request = m_decoder->Request(path, frame.expandedTo(QSize(16, 16)), true);
}

void TPMultiImage::Receive(quint64 request, const DecodeResult &result)
{
    if (request != m_request)
        return;
    m_loaded = true;
    m_information = result.information;
    m_hasPicture = result.picture.has_value();
    if (m_hasPicture) {
        const Qt::ImageConversionFlags flags = m_dithering ? Qt::DiffuseDither : Qt::AutoColor;
        m_picture->setPixmap(QPixmap::fromImage(result.picture->image, flags));
    }
    emit loaded();
}
