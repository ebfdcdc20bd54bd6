// The categorization prompt: a fixed instruction that locks a chat model to the menu's
// category whitelist, followed by the names of the games to categorize.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct GameInfo;

// Scope 1 lists only games whose category is empty; any other value lists every game.
// Returns "" when there are no games, no categories or no game in scope.
std::string buildAIPrompt(const std::vector<GameInfo>& games, const std::vector<std::string>& categories,
                          int32_t scope);
// The same on dummyGames and gCategoryList (frame thread).
std::string buildAIPrompt(int32_t scope);
