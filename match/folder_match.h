// Local mode: matching games to the subfolders of a resource directory, and copying the chosen
// folder's pictures and texts into media/<game>/. Both run on the frame thread and report in
// the popup "本地匹配##local" through gMatchMsg.
#pragma once
#include <string>

#include "data/options.h"

// "开始匹配": fills each eligible game's candidates with the best-fitting folders. Returns the
// message (also stored in gMatchMsg).
std::string localFolderMatch(const PanelOptions& opts);

// "复制资源": copies the files of every ticked game's chosen folder. File-system errors become
// problem lines naming the game, the file and the reason; the other games go on. Returns the
// message (also stored in gMatchMsg).
std::string copyLocalResources(const PanelOptions& opts);

// Similarity of a game title and a folder name: byte-equal 1, else by the title's type (the
// per-pair rule of the library match, the folder name standing for every field), or with
// cleaning the cleaned scorer against the folder name, on the scorer's own scale (the list shows
// shownCleanedScore of it, rules.h).
float folderScore(const std::string& gameName, const std::string& folderName, bool cleanTitles = false);
