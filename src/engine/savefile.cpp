#include "savefile.h"

#include <QSaveFile>

bool SaveFileAtomically(const QString &fileName, QByteArrayView bytes, bool directWriteFallback)
{
    QSaveFile file(fileName);
    file.setDirectWriteFallback(directWriteFallback);
    // Unbuffered, so that a failing write shows in the write itself: an
    // error in the flush at commit would go unnoticed, and the file cut off
    // would replace the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}
