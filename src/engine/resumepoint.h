#pragma once

#include <QString>
#include <QtGlobal>

// Where a continued transfer starts. The partial data is what the target
// already holds (a local part file, or the server's copy for an upload),
// the source the file it continues. It starts after the partial data,
// unless that cannot belong to the source; then it starts over, and the
// reason says why.
struct ResumePoint {
    qint64 offset = 0;
    QString reason; // empty when the transfer continues

    // Sizes of -1 are unknown.
    static ResumePoint For(qint64 partialSize, qint64 sourceSize);
    // The remark for the log when the transfer of name starts over; empty
    // when it continues.
    QString StartOverRemark(const QString &name) const;
};
