// Categorization prompt: wording byte for byte, scope selection and the list.
#include <gtest/gtest.h>

#include "ai/prompt.h"
#include "data/game.h"
#include "tests/test_util.h"

namespace {

std::vector<GameInfo> games(const std::vector<std::pair<std::string, std::string>>& nameCat) {
    std::vector<GameInfo> v;
    for (const auto& [name, cat] : nameCat) {
        GameInfo g;
        g.name = name;
        g.category = cat;
        v.push_back(g);
    }
    return v;
}

std::string tail(const std::string& s, const std::string& marker) {
    const size_t p = s.find(marker);
    return p == std::string::npos ? "<no marker>" : s.substr(p);
}

}  // namespace

TEST(Prompt, WholeTextMatchesDocumentedWording) {
    const std::string want = kbtest::readFile(std::string(KB_TEST_DATA_DIR) + "/ai/prompt_three_games.txt");
    ASSERT_FALSE(want.empty());
    const auto list = games({{"塞尔达传说", "动作"}, {"Portal 2", ""}, {"塞尔达传说", ""}});
    EXPECT_EQ(buildAIPrompt(list, {"动作", "冒险", "手柄"}, 0), want);
    // Any scope other than 1 lists every game.
    EXPECT_EQ(buildAIPrompt(list, {"动作", "冒险", "手柄"}, 7), want);
}

TEST(Prompt, ScopeSelectionAndEmptyResults) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> list;
        std::vector<std::string> whitelist;
        int32_t scope;
        std::string listPart;  // "" = empty prompt
    };
    const Case cases[] = {
        {"no games", {}, {"动作"}, 0, ""},
        {"no whitelist", {{"A", ""}}, {}, 0, ""},
        {"scope 1, all categorized", {{"A", "动作"}, {"B", "冒险|动作"}}, {"动作"}, 1, ""},
        {"single blank counts as categorized", {{"A", " "}, {"B", ""}}, {"动作"}, 1,
         "# 待处理游戏列表（共 1 个）\nB\n"},
        {"duplicates and raw names kept", {{"《Half-Life 2》", ""}, {"《Half-Life 2》", ""}, {"", ""}}, {"动作"}, 1,
         "# 待处理游戏列表（共 3 个）\n《Half-Life 2》\n《Half-Life 2》\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string p = buildAIPrompt(games(c.list), c.whitelist, c.scope);
        EXPECT_EQ(c.listPart.empty() ? p : tail(p, "# 待处理游戏列表"), c.listPart);
    }
}

