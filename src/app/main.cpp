#include "glimraversion.h"
#include "listupdate.h"
#include "programstart.h"
#include "remoteoperations.h"
#include "search.h"
#include "slideshow.h"
#include "tftpqvx.h"
#include "transfers.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(GLIMRA_VERSION));
    InstallGermanLanguage(application);
    InstallDialogTitleRoom(application);
    InstallUserInterfacePump();

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    TFTPqvx window(arguments);
    window.CreateDialogs();
    WindowParts &parts = window.Parts();
    InstallRemoteOperations(parts);
    InstallTransfers(parts);
    InstallSearch(parts);
    InstallSlideshow(parts);
    InstallListUpdate(parts);
    window.show();
    return application.exec();
}
