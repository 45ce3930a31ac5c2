#pragma once

class QCoreApplication;

// German for the program: Qt's own texts (standard buttons read "Ja",
// "Nein", "Abbrechen") and the German locale for numbers and dates.
void InstallGermanLanguage(QCoreApplication &application);

// Dialogs are made as wide as their titles need.
void InstallDialogTitleRoom(QCoreApplication &application);

// Network waits of the engine let the window process its events.
void InstallUserInterfacePump();
