#include "resumepoint.h"

using namespace Qt::StringLiterals;

ResumePoint ResumePoint::For(qint64 partialSize, qint64 sourceSize)
{
    if (partialSize < 0 || sourceSize < 0)
        return {0, u"wie groß die Dateien sind, ist nicht zu erfahren."_s};
    // A source smaller than the partial data has changed since.
    if (sourceSize < partialSize)
        return {0, u"die Quelle (%1 Byte) ist kleiner als die vorhandenen Teildaten (%2 Byte), sie hat sich "
                   u"also geändert."_s.arg(sourceSize)
                       .arg(partialSize)};
    return {partialSize, QString()};
}

QString ResumePoint::StartOverRemark(const QString &name) const
{
    return reason.isEmpty() ? QString() : u"%1 wird ganz übertragen: %2"_s.arg(name, reason);
}
