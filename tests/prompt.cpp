// Categorization prompt: wording byte for byte, and which games it lists.
#include <gtest/gtest.h>

#include "ai/prompt.h"
#include "data/game.h"
#include "tests/test_util.h"

namespace {

std::vector<GameInfo> games(const std::vector<std::pair<const char*, const char*>>& nameCat) {
    std::vector<GameInfo> v(nameCat.size());
    for (size_t i = 0; i < v.size(); ++i) {
        v[i].name = nameCat[i].first;
        v[i].category = nameCat[i].second;
    }
    return v;
}

}  // namespace

TEST(Prompt, WholeTextAndScope) {
    const std::string want = kbtest::readFile(std::string(KB_TEST_DATA_DIR) + "/ai/prompt_three_games.txt");
    ASSERT_FALSE(want.empty());
    const std::vector<std::string> whitelist = {"动作", "冒险", "手柄"};
    const auto list = games({{"塞尔达传说", "动作"}, {"Portal 2", ""}, {"塞尔达传说", ""}});
    EXPECT_EQ(buildAIPrompt(list, whitelist, 0), want);
    EXPECT_EQ(buildAIPrompt(list, whitelist, 7), want);  // any scope but 1 lists every game

    // Scope 1: only games without a category (a single blank is one), repeats and raw names as they are.
    const std::string p = buildAIPrompt(games({{"A", " "}, {"《H》", ""}, {"《H》", ""}, {"", ""}}), whitelist, 1);
    EXPECT_EQ(p.substr(p.find("# 待处理游戏列表")), "# 待处理游戏列表（共 3 个）\n《H》\n《H》\n\n");
    EXPECT_EQ(buildAIPrompt(games({{"A", "动作"}}), whitelist, 1), "");
    EXPECT_EQ(buildAIPrompt({}, whitelist, 0), "");
    EXPECT_EQ(buildAIPrompt(list, {}, 0), "");
}
