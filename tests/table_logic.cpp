#include "app/table_logic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Five rows with ties in every key, listed in id order; each case names the expected order.
std::vector<GameInfo> fixtureRows() {
    std::vector<GameInfo> v;
    auto add = [&](int32_t id, const char* name, int32_t img, int32_t txt, const char* cat, const char* method,
                   const char* matched, float sim, int32_t appid) {
        v.push_back(GameInfo{.id = id, .name = name, .imageCount = img, .textCount = txt, .category = cat,
                             .matchMethod = method, .matchedName = matched, .similarity = sim});
        if (appid) v.back().candidates = {MatchCandidate{appid, matched, "", sim}};
    };
    add(1, "b", 2, 0, "动作", "精确", "B", 0.9f, 30);
    add(2, "a", -1, 1, "", "网络匹配", "", 0.0f, 99);
    add(3, "ab", 2, 0, "冒险", "精确", "A", 0.9f, 10);
    add(4, "\xE4\xB8\x80", 5, 1, "动作", "", "", 0.0f, 0);  // 一 (lead byte above ASCII)
    add(5, "a", 0, 1, "", "模糊", "C", 0.5f, 20);
    v[1].selectedCandidate = 3;  // out of range: sorts as appid 0
    return v;
}

TEST(TableSort, EachKeyIsStable) {
    struct Case {
        int key;
        bool desc;
        std::vector<int32_t> expected;
    };
    const std::vector<std::string> previews = {"x", "", "a", "x"};  // row 5 has no entry
    // Descending flips one comparison for every key: two keys with ties show it stays stable.
    const Case CASES[] = {
        {kSortId, false, {1, 2, 3, 4, 5}},          {kSortName, false, {2, 5, 3, 1, 4}},
        {kSortName, true, {4, 1, 3, 2, 5}},         {kSortImages, false, {2, 5, 1, 3, 4}},
        {kSortImages, true, {4, 1, 3, 5, 2}},       {kSortTexts, false, {1, 3, 2, 4, 5}},
        {kSortCategory, false, {2, 5, 3, 1, 4}},    {kSortMethod, false, {4, 5, 1, 3, 2}},
        {kSortMatchedName, false, {2, 4, 3, 1, 5}}, {kSortSimilarity, false, {2, 4, 5, 1, 3}},
        {kSortAiPreview, false, {2, 5, 3, 1, 4}},   {kSortAppid, false, {2, 4, 3, 5, 1}},
        {kSortTick, false, {1, 2, 3, 4, 5}},
    };
    for (const Case& c : CASES) {
        std::vector<GameInfo> games = fixtureRows();
        std::vector<std::string> preview = previews;
        SortRequest req{true, true, c.key, c.desc};
        EXPECT_TRUE(applyPendingSort(req, games, preview));
        EXPECT_FALSE(req.pending);
        ASSERT_EQ(preview.size(), games.size());
        std::vector<int32_t> order;
        // Each preview travels with its game; the missing entry of row 5 became empty.
        for (size_t i = 0; i < games.size(); ++i) {
            order.push_back(static_cast<int32_t>(games[i].id));
            const size_t original = static_cast<size_t>(games[i].id - 1);
            EXPECT_EQ(preview[i], original < previews.size() ? previews[original] : "") << "key " << c.key;
        }
        EXPECT_EQ(order, c.expected) << "key " << c.key << (c.desc ? " desc" : " asc");
    }
}

// A Shift-click gives the range from the last clicked row the clicked row's new value; an
// anchor left over from a longer list is ignored.
TEST(TableTicks, ShiftRangesFollowTheAnchor) {
    std::vector<GameInfo> games(10);
    int32_t anchor = -1;
    auto click = [&](int32_t r, bool shift) {
        games[static_cast<size_t>(r)].ticked = !games[static_cast<size_t>(r)].ticked;
        onTickToggled(games, r, shift, anchor);
        std::string ticks;
        for (const GameInfo& g : games) ticks += g.ticked ? '1' : '0';
        return ticks;
    };
    click(3, false);
    EXPECT_EQ(click(7, true), "0001111100");
    EXPECT_EQ(click(5, true), "0001100000");  // unticks 5..7
    anchor = 50;
    EXPECT_EQ(click(8, true), "0001100010");
}

}  // namespace
