// Categorization prompt: wording byte for byte, and which games it lists.
#include <gtest/gtest.h>

#include "ai/prompt.h"
#include "data/game.h"
#include "tests/test_util.h"

TEST(Prompt, WholeTextAndScope) {
    const std::string want = kbtest::readFile(std::string(KB_TEST_DATA_DIR) + "/ai/prompt_three_games.txt");
    ASSERT_FALSE(want.empty());
    const std::vector<std::string> whitelist = {"动作", "冒险", "手柄"};
    const std::vector<GameInfo> list = {
        {.name = "塞尔达传说", .category = "动作"}, {.name = "Portal 2"}, {.name = "塞尔达传说"}};
    EXPECT_EQ(buildAIPrompt(list, whitelist, 0), want);
    EXPECT_EQ(buildAIPrompt(list, whitelist, 7), want);  // any scope but 1 lists every game

    // Scope 1: only games without a category (a single blank is one), repeats and raw names as they are.
    const std::string p =
        buildAIPrompt({{.name = "A", .category = " "}, {.name = "《H》"}, {.name = "《H》"}, {}}, whitelist, 1);
    EXPECT_EQ(p.substr(p.find("# 待处理游戏列表")), "# 待处理游戏列表（共 3 个）\n《H》\n《H》\n\n");
    EXPECT_EQ(buildAIPrompt({{.name = "A", .category = "动作"}}, whitelist, 1), "");
    EXPECT_EQ(buildAIPrompt({}, whitelist, 0), "");
    EXPECT_EQ(buildAIPrompt(list, {}, 0), "");
}
