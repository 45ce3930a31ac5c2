#include "tidlogdebug.h"

#include "datetext.h"
#include "textcodec.h"

#include <QDateTime>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace {
Q_LOGGING_CATEGORY(lcSessionLog, "glimra.log", QtInfoMsg)
} // namespace

TIdLogDebug::TIdLogDebug(QObject *parent)
    : TIdConnectionIntercept(parent)
{
}

void TIdLogDebug::Connect(TIdSocketHandle &)
{
    Log(u"Verbunden."_s);
}

void TIdLogDebug::NotifyReceived(QByteArrayView bytes)
{
    if (Active)
        Log(u"Erh.: "_s + TextCodec::DecodeAuto(bytes));
}

void TIdLogDebug::NotifySent(QByteArrayView bytes)
{
    if (Active)
        Log(u"Gesendet: "_s + TextCodec::DecodeAuto(bytes));
}

void TIdLogDebug::Disconnect()
{
    Log(u"Verbindung aufgehoben."_s);
}

void TIdLogDebug::Log(const QString &text)
{
    if (!Active)
        return;
    QString line = text;
    if (LogTime)
        line.prepend(FormatDateText(QDateTime::currentDateTime()) + u": "_s);
    line.replace(u"\r\n"_s, u"<EOL>"_s);
    if (OnLogItem)
        OnLogItem(line);
    if (Target == ltDebugOutput)
        qCDebug(lcSessionLog).noquote() << line;
}
