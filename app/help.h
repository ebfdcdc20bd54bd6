// The 使用帮助 window opened by the top bar's 帮助 button.
#pragma once
#include <string>
#include <vector>

// The nine paragraphs, in display order.
const std::vector<std::string>& helpParagraphs();
// Draws the window while showHelp is set; its close box clears showHelp.
void drawHelpWindow(bool& showHelp);
