// The folder picker behind "浏览...": the desktop's own dialog (the shell's on Windows; zenity
// or kdialog on POSIX desktops), otherwise a folder browser drawn in the window. The path logic
// is free of drawing so tests can call it.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// POSIX only: quotes a text for /bin/sh (single quotes, embedded ones escaped).
std::string shellQuote(const std::string& s);

// POSIX only: command line of the desktop's folder dialog with a title and a start folder;
// empty when neither zenity nor kdialog is installed.
std::string systemFolderDialogCommand(const std::string& title, const std::string& startDir);

// Runs the desktop's dialog and waits for it. Returns false when none is installed (the caller
// then shows the in-window browser; Windows always has one); otherwise true, with chosen set
// when the user picked a folder.
bool runSystemFolderDialog(const std::string& title, const std::string& startDir, std::string& chosen);

// The folder the browser opens in: the field's folder when it exists, else the home folder, else "/".
std::string browserStartFolder(const std::string& fieldText);
// Parent of an absolute folder ("/" stays "/").
std::string parentFolder(const std::string& dir);
// dir joined with one sub-folder name.
std::string childFolder(const std::string& dir, const std::string& name);
// Names of the sub-folders of dir, sorted; hidden ones (leading dot) left out. error is set when the
// folder cannot be listed.
std::vector<std::string> listSubfolders(const std::string& dir, std::string& error);

// Copies a path into a fixed text buffer (at most size - 1 bytes, never cutting a UTF-8 character).
void copyPathToBuffer(const std::string& path, char* buf, size_t size);

// "浏览..." pressed: opens the desktop dialog or the in-window browser for buf (a size-byte field).
void openFolderPicker(char* buf, size_t size);
// Draws the in-window browser while it is open; writes the chosen folder into the field passed to
// openFolderPicker. Call every frame after the field.
void drawFolderPicker();
