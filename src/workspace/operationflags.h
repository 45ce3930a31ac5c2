#pragma once

#include <QtGlobal>

// The main session's operation state. Everything runs on one thread and the
// engine's waits let events run, so these flags are what keeps a second
// command from starting while one is under way.
struct OperationFlags {
    bool OperationBusy = false;   // a multi-step operation runs
    bool TransferActive = false;  // the main session moves data
    bool ListingBusy = false;     // the remote pane reads a listing
    bool CancelRequested = false; // the user asked to stop; tested between steps
    bool AbortRequested = false;  // the user asked to cut running transfers too
    bool YesToAll = false;        // "Ja zu allen" answered in this operation
    bool NoToAll = false;         // "Nein zu allen" answered in this operation
    qint64 ExpectedSize = 0;      // bytes of the file about to be transferred, 0 when unknown
};
