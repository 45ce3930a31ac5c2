#pragma once

// What the tests of opening remote files share: a recorder in place of the
// desktop's opener, so that no program starts, and edits of the opened copy
// as an editor makes them. A test that includes this header also includes
// "moc_openinghelpers.cpp" once.

#include "../workspace/remotesessionfixture.h"

#include "openedfiles.h"

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QUrl>

class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

// Writes new content into a copy as an editor does, with a time well after the download.
inline bool EditCopy(const QString &path, const QByteArray &content, int secondsLater)
{
    return WriteFileContent(path, content) &&
           SetModified(path, QDateTime::currentDateTimeUtc().addSecs(secondsLater));
}

// The question after a change of an opened copy, once it is shown; null when none came.
inline QMessageBox *AwaitSaveQuestion(const OpenedFiles &opened, int timeoutMs = 3000)
{
    const auto shown = [&opened] { return opened.Question() && opened.Question()->isVisible(); };
    return QTest::qWaitFor(shown, timeoutMs) ? opened.Question() : nullptr;
}
