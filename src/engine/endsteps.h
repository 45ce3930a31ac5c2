#pragma once

// Runs the body and then the end steps, also when the body throws. The
// body's error is the one that goes on; one raised by the end steps after
// it would only hide it.
template <class Body, class EndSteps> void RunWithEndSteps(Body &&body, EndSteps &&endSteps)
{
    try {
        body();
    } catch (...) {
        try {
            endSteps();
        } catch (...) {
        }
        throw;
    }
    endSteps();
}
