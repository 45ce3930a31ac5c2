#pragma once

// Which remote commands are available, worked out from the session state
// and the remote selection alone.
struct RemoteCommandInputs {
    bool connected = false;
    bool transferActive = false;
    bool operationBusy = false;
    bool thumbnailsLoading = false;
    int selectedCount = 0;             // selected rows, ".." included
    bool parentSelected = false;       // ".." is among them
    bool onlySelectedIsFolder = false; // one row selected and it is a folder
    bool allDelete = false;            // several entries may be deleted at once
    bool clipboardHasFiles = false;    // the desktop clipboard holds local files
};

struct RemoteCommandStates {
    bool drops = false;       // files dropped onto the remote list
    bool download = false;    // download button, "Downloaden"
    bool newFolder = false;   // new folder button, "Neuer Ordner"
    bool rename = false;      // rename button, "Umbenennen"
    bool remove = false;      // delete button, "Löschen", the Del key
    bool move = false;        // "Bewegen..."
    bool refresh = false;     // refresh button, "Aktualisieren", folder tree, raw listing
    bool open = false;        // open button, "Ansehen / Ausführen"
    bool abort = false;       // abort button, "Datentransfer abbrechen"
    bool editEntries = false; // "Einträge bearbeiten", "Logdatei speichern "
    bool settings = false;    // "Einstellungen"
    bool copy = false;        // "Kopieren"
    bool paste = false;       // "Einfügen"
    bool editCaption = false; // the list's own in-place edit
};

RemoteCommandStates ComputeRemoteCommandStates(const RemoteCommandInputs &in);
