#pragma once

// What the tests of the remote file operations share: the main window with
// the operations installed and logged in to a real server, and answers to
// the delete prompt and the folder tree given from a timer while they are
// shown modally.

#include "../workspace/remotesessionfixture.h"

#include "pathrow.h"
#include "remoteoperations.h"
#include "remotepane.h"
#include "tfragedelete.h"
#include "ttreedlg1.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using Kind = RealFtpServer::Kind;

// The servers every operation runs against: pyftpdlib with MLSD and with
// LIST, and vsftpd, which lists with LIST only.
struct ServerVariant {
    Kind kind = Kind::Pyftpdlib;
    bool mlsd = true;
    bool latin1 = false;

    // The server's options, with the root folder's content before start
    // (a path ending in "/" is a folder).
    RealFtpServer::Options Options(const QMap<QString, QByteArray> &files = {}) const
    {
        RealFtpServer::Options options;
        options.kind = kind;
        options.hideMlsd = kind == Kind::Pyftpdlib && !mlsd;
        options.latin1Names = latin1;
        options.files = files;
        return options;
    }
};
Q_DECLARE_METATYPE(ServerVariant)

inline void AddServerColumn()
{
    QTest::addColumn<ServerVariant>("server");
}

// A data row for a server, named "<server>: <case>".
inline QTestData &ServerRow(const char *server, const QString &name)
{
    static const QHash<QString, ServerVariant> variants{
        {QStringLiteral("pyftpdlib MLSD"), {Kind::Pyftpdlib, true, false}},
        {QStringLiteral("pyftpdlib LIST"), {Kind::Pyftpdlib, false, false}},
        {QStringLiteral("pyftpdlib Latin-1"), {Kind::Pyftpdlib, true, true}},
        {QStringLiteral("vsftpd"), {Kind::Vsftpd, false, false}},
    };
    const QString serverName = QString::fromLatin1(server);
    const QString rowName = name.isEmpty() ? serverName : serverName + QStringLiteral(": ") + name;
    return QTest::newRow(qPrintable(rowName)) << variants.value(serverName);
}

// The data of a test whose rows differ only by the server.
inline void RowPerServer(std::initializer_list<const char *> servers)
{
    AddServerColumn();
    for (const char *server : servers)
        ServerRow(server, QString());
}

// Answers the delete prompt each time it is shown with the next gesture:
// the objectName of a button, "Escape", or "Frame" for its window frame.
// Questions beyond the list are answered "Abbrechen".
class DeletePromptAnswers : public QObject {
public:
    DeletePromptAnswers(Tfragedelete *prompt, QStringList gestures)
        : m_prompt(prompt)
        , m_gestures(std::move(gestures))
    {
        m_prompt->installEventFilter(this);
    }

    // The path each question showed, in order.
    QStringList asked;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_prompt && event->type() == QEvent::Show) {
            asked.append(m_prompt->Edit1->text());
            const QString gesture = m_gestures.value(asked.size() - 1, QStringLiteral("CancelBtn"));
            QTimer::singleShot(0, this, [this, gesture] { Answer(gesture); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void Answer(const QString &gesture)
    {
        if (gesture == QStringLiteral("Frame"))
            m_prompt->close();
        else if (gesture == QStringLiteral("Escape"))
            QTest::keyClick(m_prompt, Qt::Key_Escape);
        else
            m_prompt->findChild<QPushButton *>(gesture)->click();
    }

    Tfragedelete *m_prompt;
    QStringList m_gestures;
};

// Chooses a top-level folder in the folder tree once its walk has finished
// (or closes the tree when the folder is empty), and keeps the prompt line.
class FolderTreeAnswer : public QObject {
public:
    FolderTreeAnswer(TTreeDlg1 *tree, QString folder)
        : m_tree(tree)
        , m_folder(std::move(folder))
    {
        m_tree->installEventFilter(this);
        m_poll.setInterval(10);
        connect(&m_poll, &QTimer::timeout, this, &FolderTreeAnswer::Poll);
    }

    QString prompt;
    bool shown = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_tree && event->type() == QEvent::Show) {
            shown = true;
            prompt = m_tree->Label1->text();
            m_poll.start();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void Poll()
    {
        if (m_tree->IsBuilding() || m_tree->TreeView1->topLevelItemCount() == 0)
            return;
        m_poll.stop();
        const QList<QTreeWidgetItem *> found = m_tree->TreeView1->findItems(m_folder, Qt::MatchExactly);
        if (found.isEmpty()) {
            m_tree->SpeedButton12->click();
            return;
        }
        m_tree->TreeView1->setCurrentItem(found.first());
        m_tree->SpeedButton2->click();
    }

    TTreeDlg1 *m_tree;
    QString m_folder;
    QTimer m_poll;
};

// The main window with the remote operations, logged in to a real server.
class RemoteOperationsFixture {
public:
    TFTPqvx *Open()
    {
        TFTPqvx *window = m_session.OpenWindow();
        if (window)
            m_operations = InstallRemoteOperations(window->Parts());
        return window;
    }

    void Connect(const RealFtpServer &server, const ServerVariant &variant)
    {
        m_session.Connect(server, variant.mlsd);
    }

    void Close() { m_session.Close(); }

    TFTPqvx *Window() const { return m_session.Window(); }
    RemoteOperations *Operations() const { return m_operations; }
    RemotePane *Pane() const { return Window()->Remote(); }
    RemoteListView *List() const { return Window()->Remote()->List; }
    QString ShownFolder() const { return Window()->Paths()->Edit1->text(); }

    // Selects the rows and checks that exactly they are selected.
    bool Select(const QStringList &captions) const
    {
        SelectCaptions(List(), captions);
        Window()->Browser()->UpdateCommandStates();
        return SelectedCaptions(List()) == captions;
    }

    // Renames a row by its in-place editor, as the user types a new name
    // and presses Enter; returns once the server has answered.
    bool RenameInPlace(const QString &caption, const QString &typed) const
    {
        if (!Select({caption}))
            return false;
        Pane()->SpeedButton6->click();
        QLineEdit *editor = OpenEditor(List()->CurrentView());
        if (!editor)
            return false;
        return TypeIntoEditor(editor, typed);
    }

    bool TypeIntoEditor(QLineEdit *editor, const QString &typed) const
    {
        QSignalSpy asked(List()->Rows(), &RemoteListModel::renameRequested);
        editor->selectAll();
        editor->insert(typed);
        QTest::keyClick(editor, Qt::Key_Return);
        // The editor hands its text over queued, and the rename that it asks
        // for is queued again behind that; it has talked to the server once
        // the events posted by then have run.
        if (!QTest::qWaitFor([&] { return asked.count() == 1; }))
            return false;
        QCoreApplication::processEvents();
        return !OpenEditor(List()->CurrentView());
    }

private:
    RemoteSessionFixture m_session;
    RemoteOperations *m_operations = nullptr;
};

inline bool ExistsOnServer(const RealFtpServer &server, const QString &relativePath)
{
    return QFileInfo::exists(server.rootDir() + u'/' + relativePath) ||
           QFileInfo(server.rootDir() + u'/' + relativePath).isSymLink();
}
