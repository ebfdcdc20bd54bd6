#include "app/table_logic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

GameInfo game(int32_t id, std::string name, float sim = 0.0f) {
    GameInfo g;
    g.id = id;
    g.name = std::move(name);
    g.similarity = sim;
    return g;
}

std::vector<int32_t> ids(const std::vector<GameInfo>& games) {
    std::vector<int32_t> out;
    for (const GameInfo& g : games) out.push_back(g.id);
    return out;
}

// Five rows with ties in every key, listed in id order; each case names the expected order.
std::vector<GameInfo> fixtureRows() {
    std::vector<GameInfo> v;
    auto add = [&](int32_t id, const char* name, int32_t img, int32_t txt, const char* cat, const char* method,
                   const char* matched, float sim, int32_t appid) {
        GameInfo g = game(id, name, sim);
        g.imageCount = img;
        g.textCount = txt;
        g.category = cat;
        g.matchMethod = method;
        g.matchedName = matched;
        if (appid) g.candidates = {MatchCandidate{appid, matched, "", sim}};
        v.push_back(g);
    };
    add(1, "b", 2, 0, "动作", "精确", "B", 0.9f, 30);
    add(2, "a", -1, 1, "", "网络匹配", "", 0.0f, 0);
    add(3, "ab", 2, 0, "冒险", "精确", "A", 0.9f, 10);
    add(4, "\xE4\xB8\x80", 5, 1, "动作", "", "", 0.0f, 0);  // 一 (lead byte above ASCII)
    add(5, "a", 0, 1, "", "模糊", "C", 0.5f, 20);
    return v;
}

TEST(TableSort, EachKeyBothDirectionsIsStable) {
    struct Case {
        int key;
        bool desc;
        std::vector<int32_t> expected;
    };
    const std::vector<std::string> previews = {"x", "", "a", "x"};  // row 5 has no entry
    const Case CASES[] = {
        {kSortId, false, {1, 2, 3, 4, 5}},          {kSortId, true, {5, 4, 3, 2, 1}},
        {kSortName, false, {2, 5, 3, 1, 4}},        {kSortName, true, {4, 1, 3, 2, 5}},
        {kSortImages, false, {2, 5, 1, 3, 4}},      {kSortImages, true, {4, 1, 3, 5, 2}},
        {kSortTexts, false, {1, 3, 2, 4, 5}},       {kSortTexts, true, {2, 4, 5, 1, 3}},
        {kSortCategory, false, {2, 5, 3, 1, 4}},    {kSortCategory, true, {1, 4, 3, 2, 5}},
        {kSortMethod, false, {4, 5, 1, 3, 2}},      {kSortMethod, true, {2, 1, 3, 5, 4}},
        {kSortMatchedName, false, {2, 4, 3, 1, 5}}, {kSortMatchedName, true, {5, 1, 3, 2, 4}},
        {kSortSimilarity, false, {2, 4, 5, 1, 3}},  {kSortSimilarity, true, {1, 3, 5, 2, 4}},
        {kSortAiPreview, false, {2, 5, 3, 1, 4}},   {kSortAiPreview, true, {1, 4, 3, 2, 5}},
        {kSortAppid, false, {2, 4, 3, 5, 1}},       {kSortAppid, true, {1, 5, 3, 2, 4}},
        {kSortTick, false, {1, 2, 3, 4, 5}},        {42, true, {1, 2, 3, 4, 5}},
    };
    for (const Case& c : CASES) {
        std::vector<GameInfo> games = fixtureRows();
        std::vector<std::string> preview = previews;
        sortGames(games, preview, c.key, c.desc);
        EXPECT_EQ(ids(games), c.expected) << "key " << c.key << (c.desc ? " desc" : " asc");
        ASSERT_EQ(preview.size(), games.size());
        // Each preview travels with its game; the missing entry of row 5 became empty.
        for (size_t i = 0; i < games.size(); ++i) {
            const size_t original = static_cast<size_t>(games[i].id - 1);
            EXPECT_EQ(preview[i], original < previews.size() ? previews[original] : "") << "key " << c.key;
        }
    }
}

TEST(TableSort, AppidOutOfRangeSelectionCountsAsZero) {
    std::vector<GameInfo> games = {game(1, "a"), game(2, "b")};
    games[0].candidates = {MatchCandidate{5, "x", "", 0.5f}};
    games[0].selectedCandidate = 3;
    games[1].candidates = {MatchCandidate{1, "y", "", 0.5f}};
    std::vector<std::string> preview;
    sortGames(games, preview, kSortAppid, false);
    EXPECT_EQ(ids(games), (std::vector<int32_t>{1, 2}));
    sortGames(games, preview, kSortAppid, true);
    EXPECT_EQ(ids(games), (std::vector<int32_t>{2, 1}));
    EXPECT_EQ(preview, (std::vector<std::string>{"", ""}));
}

std::vector<bool> ticks(const std::vector<GameInfo>& games) {
    std::vector<bool> out;
    for (const GameInfo& g : games) out.push_back(g.ticked);
    return out;
}

// Clicks row r's tick box the way the table does: flip, then the range logic.
void click(std::vector<GameInfo>& games, int32_t r, bool shift, int32_t& anchor) {
    games[static_cast<size_t>(r)].ticked = !games[static_cast<size_t>(r)].ticked;
    onTickToggled(games, r, shift, anchor);
}

TEST(TableTicks, ShiftRangesFollowTheAnchor) {
    std::vector<GameInfo> games(10);
    for (GameInfo& g : games) g.downloadState = 3;
    int32_t anchor = -1;
    click(games, 3, false, anchor);
    EXPECT_EQ(anchor, 3);
    for (const GameInfo& g : games) EXPECT_EQ(g.downloadState, 0);  // any click clears download colours
    click(games, 7, true, anchor);
    EXPECT_EQ(ticks(games), (std::vector<bool>{0, 0, 0, 1, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(anchor, 7);
    click(games, 5, true, anchor);  // unticks 5..7, anchor 7
    EXPECT_EQ(ticks(games), (std::vector<bool>{0, 0, 0, 1, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(anchor, 5);

    // An anchor left over from a longer list is ignored.
    anchor = 50;
    click(games, 8, true, anchor);
    EXPECT_EQ(ticks(games), (std::vector<bool>{0, 0, 0, 1, 1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(anchor, 8);
}

TEST(TableCandidates, ChoosingMirrorsTheCandidateAndLabelsFollowTheFormat) {
    GameInfo g = game(7, "x");
    installCandidates(g, {MatchCandidate{10, "Alpha", "", 0.874f}, MatchCandidate{20, "贝塔", "", 0.5f}}, "网络匹配");
    chooseCandidate(g, 1);
    EXPECT_EQ(g.selectedCandidate, 1);
    EXPECT_EQ(g.matchedName, "贝塔");
    EXPECT_FLOAT_EQ(g.similarity, 0.5f);
    chooseCandidate(g, 2);  // out of range: nothing changes
    EXPECT_EQ(g.selectedCandidate, 1);
    EXPECT_EQ(candidateLabel(g.candidates[0], 7, 0), "Alpha  [87%]##ci_7_0");
}

TEST(TableLabels, Utf8CutsKeepWholeCharacters) {
    struct Case {
        std::string in;
        size_t max;
        std::string out;
    };
    const std::string zh = "空洞骑士";  // 12 bytes
    const Case CASES[] = {
        {"abc", 3, "abc"}, {"abcd", 3, "abc"}, {zh, 12, zh},          {zh, 11, "空洞骑"},
        {zh, 9, "空洞骑"}, {zh, 2, ""},        {"a" + zh, 4, "a空"}, {"", 0, ""},
    };
    for (const Case& c : CASES) EXPECT_EQ(utf8Prefix(c.in, c.max), c.out) << c.in << " " << c.max;

    GameInfo g = game(12, std::string(70, 'n'));
    EXPECT_EQ(rowLabel(g), std::string(63, 'n') + "##row_12");
    g.name = std::string(62, 'n') + "空";
    EXPECT_EQ(rowLabel(g), std::string(62, 'n') + "##row_12");
    g.name.clear();
    EXPECT_EQ(rowLabel(g), "##row_12");
}

}  // namespace
