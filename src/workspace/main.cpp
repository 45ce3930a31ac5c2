#include "tftpqvx.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    TFTPqvx window;
    window.show();
    return application.exec();
}
