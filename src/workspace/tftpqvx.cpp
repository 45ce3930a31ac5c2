#include "tftpqvx.h"

using namespace Qt::StringLiterals;

TFTPqvx::TFTPqvx(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(u"FTPqvx"_s);
    setWindowTitle(u"FTP Glimra"_s);
    resize(682, 438);
}
