// The table's hover preview of match candidates: the window side of app/preview_logic.h
// (decoding with the window library, textures, the tooltip).
#pragma once
#include <cstddef>
#include <string>

#include "app/preview_logic.h"

struct GameInfo;

// JPEG, PNG, BMP, GIF (first frame) and what else the window library reads; other formats
// fail with their reason. Runs on the preview worker.
bool decodePreviewPicture(const std::string& bytes, PreviewPicture& out, std::string& err);

// Start-up: the worker with the real decoder. Shutdown, while the window still exists: the
// worker joined and the textures freed.
void startCandidatePreviews();
void stopCandidatePreviews();

// Right after the item that shows candidate k of g (the 匹配游戏名称 cell or an item of the
// open candidate list): after a short hover, a tooltip with its picture, name, appid and score.
void candidatePreviewTooltip(const GameInfo& g, size_t k);
