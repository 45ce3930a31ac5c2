#pragma once

#include <QByteArrayView>
#include <QString>

// Writes a whole file in one step: the new content takes the file's place
// only when every byte of it was written, so a full disk or a write error
// leaves the previous file as it was. With directWriteFallback, a folder
// where no temporary file can be made gets the file written in place.
bool SaveFileAtomically(const QString &fileName, QByteArrayView bytes, bool directWriteFallback = false);
