#pragma once

// The main window on a temporary home, as the session and progress tests
// open it: the program's German texts and pump, the data folders under a
// fresh home, the windows created and shown. Header only.

#include "programstart.h"
#include "tftpqvx.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class SessionWindow {
public:
    // Once per test program.
    static void InstallProgramServices()
    {
        InstallGermanLanguage(*QCoreApplication::instance());
        InstallUserInterfacePump();
    }

    // A fresh home; the window opens later, so that a test can put files
    // into the home first.
    bool PrepareHome()
    {
        m_home = std::make_unique<QTemporaryDir>();
        if (!m_home->isValid())
            return false;
        qputenv("HOME", QFile::encodeName(m_home->path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->filePath(QStringLiteral(".config"))));
        return true;
    }

    // Null when the window did not come up.
    TFTPqvx *Open(const QStringList &arguments = {})
    {
        m_window = std::make_unique<TFTPqvx>(arguments);
        m_window->CreateDialogs();
        m_window->show();
        return QTest::qWaitForWindowExposed(m_window.get()) ? m_window.get() : nullptr;
    }

    void Close()
    {
        m_window.reset();
        m_home.reset();
    }

    TFTPqvx *Window() const { return m_window.get(); }
    QString Home(const QString &relativePath = QString()) const { return m_home->filePath(relativePath); }
    QString DataRoot() const { return Home(QStringLiteral("Documents/QvxORNAFTPGlimra/")); }

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<TFTPqvx> m_window;
};
