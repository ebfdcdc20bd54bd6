// info.txt of a game folder: a plain-text sheet built from one store appdetails answer.
#pragma once
#include <string>

// Builds the sheet (UTF-8, LF line ends, no BOM) from the raw appdetails body. fallbackName
// (the menu's name of the game) stands in for a missing store name and heads every note
// about an unusable answer; any input gives a text, never an exception.
std::string buildInfoTxt(const std::string& json, const std::string& fallbackName);

// HTML fragment to plain text: tags become line breaks, list dashes or tabs (or vanish),
// the common entities are resolved, runs of line breaks and blank lines are dropped and
// the result is trimmed. Never contains an empty line.
std::string stripHtml(const std::string& html);

// Removes one leading "Minimum:"/"最低配置："-style heading (and the blank space after it)
// from a requirements text. Exposed for tests; buildInfoTxt uses it.
std::string stripRequirementPrefix(std::string text);
