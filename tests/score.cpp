// Scoring of store results and the ordering of candidate lists.
#include "match/score.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "match/normalize.h"
#include "match/text.h"

namespace {

constexpr float kTol = 1e-5f;

float score(const std::string& a, const std::string& b, bool isChinese) {
    const std::string na = normalizeForMatch(a);
    const std::string nb = normalizeForMatch(b);
    return scoreMatch(a, b, na, nb, tokenizeUtf8(na), tokenizeUtf8(nb), isChinese);
}

uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

struct ScoreCase {
    std::string a, b;
    bool isChinese;
    float want;
};

const ScoreCase kScores[] = {
    {"Portal 2", "Portal 2", false, 1.0f},
    {"PORTAL 2", "Portal 2", false, 0.99f},
    {"Dark Souls", "Dark Souls Remastered", false, 0.9f + 0.05f * 9 / 19},
    {"Dark Souls", "Dark Souls 3", false, 0.7f + 0.15f * 9 / 10},
    {"Portal", "Portal Knights", false, 36.0f / 78.0f},
    {"生化危机", "生化危机2", true, 0.7f + 0.25f * 4 / 5},
    {"仙剑", "剑仙", true, 0.25f},
    {"", "Portal", false, 0.0f},
    {"!!!", "Portal", false, 0.0f},
    // full-width forms on both sides meet on the same key
    {"ＤＡＲＫ ＳＯＵＬＳ", "Dark Souls", false, 0.99f},
    {"ＤＡＲＫ ＳＯＵＬＳ", "ＤＡＲＫ　ＳＯＵＬＳ", false, 0.99f},
    // neighbours of the occurrence
    {"Dark Souls", "The Dark Souls", false, 0.9f + 0.05f * 9 / 12},
    {"Dark Souls", "黑暗之魂Dark Souls", false, 0.7f + 0.15f * 9 / 13},
    {"Dark Souls", "Dark Souls黑暗之魂", false, 0.7f + 0.15f * 9 / 13},
    {"Dark Souls 3", "Dark Souls", false, 0.7f + 0.15f * 9 / 10},   // shorter side is b
    // one or two CJK characters make an English key untrusted
    {"Dark Souls 龙", "Dark Souls 龙 2", false, 100.0f / 110.0f},
    // more than two make it trusted
    {"黑暗之魂 Dark", "黑暗之魂 Dark Souls", false, 0.9f + 0.05f * 8 / 13},
    // equal lengths skip containment
    {"abcd", "abce", false, 9.0f / 16.0f},
    // Chinese side without a CJK character is not trusted
    {"Halo", "Halo 2", true, 16.0f / 20.0f},
    {"最终幻想十五", "最终幻想XV", true, 4.0f * 4.0f / (6 * 6)},
    {"生化危机IV", "生化危机4 豪华版", false, 0.99f},
};

TEST(Score, ScoreMatch) {
    for (const ScoreCase& c : kScores) {
        const float got = score(c.a, c.b, c.isChinese);
        EXPECT_NEAR(got, c.want, kTol) << c.a << " | " << c.b;
        const float prepared =
            scoreMatchPrepared(prepareMatchText(c.a), prepareMatchText(c.b), c.isChinese);
        EXPECT_EQ(bits(prepared), bits(got)) << c.a << " | " << c.b;
    }
}

TEST(Score, LongTitlesUseHeapRows) {
    std::string a(300, 'a');
    std::string b = std::string(150, 'a') + "-" + std::string(151, 'b');
    // Keys aaa..(300) and aaa..(150)bbb..(151): not contained, subsequence 150.
    EXPECT_NEAR(score(a, b, false), 150.0f * 150.0f / (300.0f * 301.0f), kTol);
}

TEST(Score, SafeAsContained) {
    struct Case {
        std::string raw;
        bool isChinese;
        bool want;
    };
    const Case cases[] = {
        {"Half-Life", false, true},      // two words
        {"Portal", false, false},
        {"Portal 2", false, true},
        {"生化危机", true, true},
        {"Halo", true, false},
        {"", true, false},
        {"Halo 龙", false, false},       // one or two CJK characters: never
        {"龙虎 Dark Souls", false, false},
        {"黑暗之魂", false, true},       // more than two
        {"Pokémon", false, true},        // é separates two words and is dropped from the key
    };
    for (const Case& c : cases) {
        const std::string n = normalizeForMatch(c.raw);
        EXPECT_EQ(safeAsContained(c.raw, tokenizeUtf8(n), c.isChinese), c.want) << c.raw;
    }
}

std::vector<int32_t> appids(const std::vector<MatchCandidate>& list) {
    std::vector<int32_t> out;
    for (const MatchCandidate& c : list) out.push_back(c.appid);
    return out;
}

TEST(Score, RankStoreItems) {
    const auto portal = rankStoreItems(
        "Portal 2", {{400, "Portal"}, {620, "Portal 2"}, {1, "Portal 2 Soundtrack"}});
    ASSERT_EQ(portal.size(), 3u);
    EXPECT_EQ(appids(portal), (std::vector<int32_t>{620, 1, 400}));
    EXPECT_NEAR(portal[0].score, 1.0f, kTol);
    EXPECT_NEAR(portal[1].score, 0.9f + 0.05f * 7 / 17, kTol);
    EXPECT_NEAR(portal[2].score, 36.0f / 42.0f, kTol);
    EXPECT_EQ(portal[1].name, "Portal 2 Soundtrack");
    EXPECT_TRUE(portal[1].extra.empty());

    // Chinese part, English part (the digit) and whole text each get a chance.
    const auto re = rankStoreItems("生化危机4", {{2, "Resident Evil 4"}, {1, "生化危机4 重制版"}});
    EXPECT_EQ(appids(re), (std::vector<int32_t>{1, 2}));
    EXPECT_NEAR(re[0].score, 0.99f, kTol);
    EXPECT_NEAR(re[1].score, 1.0f / 13.0f, kTol);

    EXPECT_TRUE(rankStoreItems("Portal", {}).empty());

    std::vector<StoreItem> many;
    for (int i = 0; i < 25; ++i) many.push_back({i, "Portal " + std::to_string(i)});
    const auto cut = rankStoreItems("Portal 7", many);
    ASSERT_EQ(cut.size(), kMaxCandidates);
    EXPECT_EQ(cut[0].appid, 7);
    for (size_t i = 1; i < cut.size(); ++i) EXPECT_GE(cut[i - 1].score, cut[i].score);

    // Only punctuation: every item scores 0 and they keep their order.
    const auto none = rankStoreItems("《！》?", {{3, "A"}, {1, "B"}, {2, "生化"}});
    EXPECT_EQ(appids(none), (std::vector<int32_t>{3, 1, 2}));
    for (const MatchCandidate& c : none) EXPECT_EQ(c.score, 0.0f);
}

TEST(Score, RankTiesKeepStoreOrder) {
    const auto tied = rankStoreItems("Dark Souls", {{30, "Dark Souls II"},
                                                    {10, "Dark Souls"},
                                                    {20, "DARK SOULS II"},
                                                    {40, "Dark Souls II"}});
    EXPECT_EQ(appids(tied), (std::vector<int32_t>{10, 30, 20, 40}));
}

TEST(Score, OrderCandidates) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        std::vector<std::pair<int32_t, float>> in;
        std::vector<int32_t> want;
    };
    const Case cases[] = {
        {{}, {}},
        {{{1, 0.5f}, {2, 0.9f}, {3, 0.5f}, {4, 0.9f}}, {2, 4, 1, 3}},
        {{{1, nan}, {2, 0.1f}, {3, nan}, {4, 0.0f}}, {2, 4, 1, 3}},
        {{{1, 0.1f}, {2, 0.2f}, {3, 0.3f}, {4, 0.4f}, {5, 0.5f}, {6, 0.6f}, {7, 0.7f},
          {8, 0.8f}, {9, 0.9f}, {10, 1.0f}, {11, 0.05f}, {12, 1.0f}},
         {10, 12, 9, 8, 7, 6, 5, 4, 3, 2}},
    };
    for (const Case& c : cases) {
        std::vector<MatchCandidate> list;
        for (const auto& [id, s] : c.in) {
            MatchCandidate m;
            m.appid = id;
            m.score = s;
            list.push_back(m);
        }
        orderCandidates(list);
        EXPECT_EQ(appids(list), c.want);
    }
}

}  // namespace
