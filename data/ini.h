// The menu's category whitelist from set.ini ([Categories] categories=a|b|c).
#pragma once
#include <string>
#include <vector>

extern std::vector<std::string> gCategoryList;

// Replaces gCategoryList from <exe dir>/set.ini; a missing file leaves it empty.
void loadCategoriesFromIni();
// The parser behind it, for a file's whole text.
std::vector<std::string> parseCategoriesIni(const std::string& text);
