// The message popups of the left panel: a modal with one wrapped text and "确定".
#pragma once
#include <mutex>
#include <string>

// Opens the modal `id` when `open` is set (and clears it); while the modal is shown,
// draws the text under `mtx` copied out first. Call every frame.
void drawOkPopup(const char* id, bool& open, const std::string& text, std::mutex& mtx);
