// Categorization prompt: wording byte for byte, and which games it lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "ai/prompt.h"
#include "data/game.h"
#include "tests/test_util.h"

namespace {

std::vector<GameInfo> games(const std::vector<std::pair<std::string, std::string>>& nameCat) {
    std::vector<GameInfo> v(nameCat.size());
    for (size_t i = 0; i < v.size(); ++i) std::tie(v[i].name, v[i].category) = nameCat[i];
    return v;
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

TEST(Prompt, OnlyUncategorizedGamesOrNothing) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> list;
        std::vector<std::string> whitelist;
        std::string listPart;  // "" = empty prompt
    };
    const Case cases[] = {
        {{}, {"动作"}, ""},
        {{{"A", ""}}, {}, ""},
        {{{"A", "动作"}, {"B", "冒险|动作"}}, {"动作"}, ""},
        // A single blank is a category; repeated and raw names are listed as they are.
        {{{"A", " "}, {"《Half-Life 2》", ""}, {"《Half-Life 2》", ""}, {"", ""}}, {"动作"},
         "# 待处理游戏列表（共 3 个）\n《Half-Life 2》\n《Half-Life 2》\n\n"},
    };
    for (const Case& c : cases) {
        const std::string p = buildAIPrompt(games(c.list), c.whitelist, 1);
        EXPECT_EQ(p.substr(std::min(p.size(), p.find("# 待处理游戏列表"))), c.listPart);
    }
}
