// Start-up checks, messages and system folders that depend on the desktop system.
#pragma once
#include <string>

// Whether the desktop can be reached at all. The window library ends the process when it
// finds none, so this is asked before the window is made.
bool desktopAvailable();

// Start-up failures: always on stderr, and in a desktop message box when dialog is set and
// one can be shown (the box waits for the user).
void reportStartupError(const std::string& text, bool dialog);

// The folder of the system's fonts as UTF-8, ending in a separator (Windows: its Fonts
// folder); empty where the fonts have no one folder.
std::string systemFontFolder();

// Separates the files of a list in an environment variable (KESTRELBOX_FONTS): ';' on
// Windows, whose paths hold ':' after the drive letter; ':' elsewhere.
extern const char kPathListSeparator;
