#include "remotecommandstates.h"

RemoteCommandStates ComputeRemoteCommandStates(const RemoteCommandInputs &in)
{
    const bool idle = !in.transferActive && !in.operationBusy;
    const bool ready = in.connected && idle;
    // Entries the commands would work on: ".." is none of them.
    const int entries = in.selectedCount - (in.parentSelected ? 1 : 0);

    RemoteCommandStates states;
    states.drops = ready;
    states.download = ready && entries > 0;
    states.newFolder = ready;
    states.rename = ready && entries == 1;
    states.remove = ready && (in.allDelete ? entries > 0 : entries == 1);
    states.move = ready && in.selectedCount > 0;
    states.refresh = ready;
    states.open = ready && in.selectedCount == 1 && !in.onlySelectedIsFolder;
    states.abort = in.transferActive;
    states.editEntries = idle;
    states.settings = !in.operationBusy;
    const bool browsable = ready && !in.thumbnailsLoading;
    states.copy = browsable && in.selectedCount > 0;
    states.paste = browsable && in.clipboardHasFiles;
    states.editCaption = browsable;
    return states;
}
