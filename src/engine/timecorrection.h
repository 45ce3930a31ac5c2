#pragma once

#include <QTime>

// How remote time stamps are corrected: the four values of a connection
// profile plus the application's summer-time switch, copied in by the host.
struct TimeCorrection {
    bool DateTimeNo = false;     // no correction at all
    bool DateTimeManuel = false; // use the manual difference below
    QTime TimeDif{0, 0};         // manual difference; hours and minutes count
    int TimeDifvz = -1;          // sign of the manual difference: -1 or +1
    bool WSTime_Use = true;      // the local clock follows summer time
};
