#include "programstart.h"

#include "dialogtitleroom.h"
#include "tidantifreeze.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::StringLiterals;

void InstallGermanLanguage(QCoreApplication &application)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    QLocale::setDefault(german);
    auto *translator = new QTranslator(&application);
    if (translator->load(german, u"qtbase"_s, u"_"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

void InstallDialogTitleRoom(QCoreApplication &application)
{
    application.installEventFilter(new DialogTitleRoom(&application));
}

void InstallUserInterfacePump()
{
    TIdAntiFreeze::Install([] { QCoreApplication::processEvents(); });
}
