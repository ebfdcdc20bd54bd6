// Start-up checks and messages that depend on the desktop system.
#pragma once
#include <string>

// Whether the desktop can be reached at all. The window library ends the process when it
// finds none, so this is asked before the window is made.
bool desktopAvailable();

// Start-up failures: always on stderr, and in a desktop message box when dialog is set and
// one can be shown (the box waits for the user).
void reportStartupError(const std::string& text, bool dialog);
