#pragma once

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>

// The stored background colour of the thumbnail grid (DiaColor): blue,
// green and red from the high byte down (0x00BBGGRR), or a system colour
// whose high byte is 0xFF (or 0x80 in older settings files) and whose low
// byte is the system colour's number.
QColor GridColorFromSetting(int value, const QPalette &palette);
int SettingFromColor(const QColor &color);

// The colours the properties dialog offers: standard, extended and system
// colours with their German names.
struct NamedGridColor {
    QString name;
    int value = 0;
};
const QList<NamedGridColor> &GridColorChoices();
