// The thumbnail window's grid filled from a folder of photos, as after a
// load: the seconds from showing the window until the grid shows every
// picture, and the longest gap between two turns of the window's event
// loop meanwhile. bench/thumbnails.sh runs it beside vipsthumbnail and
// GraphicsMagick.
//
//   bench_thumbnails FOLDER [SIZE]         prints "seconds count gap_ms"
//   bench_thumbnails --generate FOLDER N   writes N photos of 4000 x 3000

#include "applicationsettings.h"
#include "imagelibrary.h"
#include "timagelibthumbnails.h"
#include "tthumbfromfileform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Something a camera might have taken: soft gradients, shapes and grain,
// so that the encoder has a photo's work to do and the files a photo's size.
QImage Photo(int seed)
{
    QImage photo(4000, 3000, QImage::Format_RGB32);
    QPainter painter(&photo);
    QLinearGradient sky(0, 0, 0, 3000);
    sky.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 120, 230));
    sky.setColorAt(1, QColor::fromHsv((seed * 37 + 120) % 360, 160, 90));
    painter.fillRect(photo.rect(), sky);
    QRandomGenerator random{quint32(seed)};
    painter.setPen(Qt::NoPen);
    for (int shape = 0; shape < 60; ++shape) {
        painter.setBrush(
            QColor::fromHsv(random.bounded(360), 100 + random.bounded(155), 80 + random.bounded(175), 120));
        painter.drawEllipse(QPoint(random.bounded(4000), random.bounded(3000)), 50 + random.bounded(600),
                            50 + random.bounded(400));
    }
    painter.end();
    for (int y = 0; y < photo.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const int grain = int(random.bounded(24)) - 12;
            const QRgb pixel = line[x];
            line[x] = qRgb(std::clamp(qRed(pixel) + grain, 0, 255), std::clamp(qGreen(pixel) + grain, 0, 255),
                           std::clamp(qBlue(pixel) + grain, 0, 255));
        }
    }
    return photo;
}

// Eight different photos, copied to make up the count.
int Generate(const QString &folder, int count)
{
    QDir().mkpath(folder);
    constexpr int kDistinct = 8;
    for (int index = 0; index < count; ++index) {
        const QString path = folder + u"/foto%1.jpg"_s.arg(index, 3, 10, QChar(u'0'));
        if (index < kDistinct) {
            if (!Photo(index).save(path, "jpg", 88))
                return 1;
        } else if (!QFile::copy(folder + u"/foto%1.jpg"_s.arg(index % kDistinct, 3, 10, QChar(u'0')), path)) {
            return 1;
        }
    }
    return 0;
}

int Measure(const QString &folder, int size)
{
    const int expected = int(ImageLibrary::GalleryImagesIn(folder).size());
    ApplicationSettings settings;
    settings.DiaXt = settings.DiaY = size;
    TThumbFromFileForm window(settings, folder);

    // A timer every 5 ms: the longest time between two of its turns is the
    // longest the window could not answer.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });

    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    tick.start();
    window.show();
    TImageLibThumbnails &grid = *window.ImageLibThumbnails1;
    while (grid.Count() < expected || grid.Pending() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const qint64 elapsed = clock.elapsed();
    tick.stop();
    std::printf("%.3f %d %lld\n", double(elapsed) / 1000.0, grid.Count(), static_cast<long long>(longestGap));
    return grid.Count() == expected ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == u"--generate"_s)
        return Generate(arguments[2], arguments[3].toInt());
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: bench_thumbnails FOLDER [SIZE] | --generate FOLDER N\n");
        return 2;
    }
    return Measure(arguments[1], arguments.size() > 2 ? arguments[2].toInt() : 120);
}
