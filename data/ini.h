// The menu's category whitelist from set.ini ([Categories] categories=a|b|c).
#pragma once
#include <string>
#include <vector>

extern std::vector<std::string> gCategoryList;

// What every message says when the whitelist is empty (no file, no section, no names).
extern const char* const kNoCategoriesMessage;

// Replaces gCategoryList from <exe dir>/set.ini (UTF-8 with or without a byte-order mark, or
// GBK); a missing file leaves it empty. Returns a note for the status line: how a file not in
// UTF-8 was read, or kNoCategoriesMessage; empty when there is nothing to say.
std::string loadCategoriesFromIni();
// The parser behind it, for a file's whole text as UTF-8. Names are kept as written, blanks
// included; only empty pieces are dropped.
std::vector<std::string> parseCategoriesIni(const std::string& text);
