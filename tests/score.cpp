// Scoring of store results and the ordering of candidate lists. Range, the prepared form
// and the ranking's reference are fuzzed; these pin the values of real titles.
#include "match/score.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "match/normalize.h"
#include "match/text.h"

namespace {

constexpr float kTol = 1e-5f;

std::vector<int32_t> appids(const std::vector<MatchCandidate>& list) {
    std::vector<int32_t> out;
    for (const MatchCandidate& c : list) out.push_back(c.appid);
    return out;
}

TEST(Score, ScoreMatch) {
    struct Case {
        std::string a, b;
        bool isChinese;
        float want;
    };
    const Case cases[] = {
        {"Portal 2", "Portal 2", false, 1.0f},
        {"PORTAL 2", "Portal 2", false, 0.99f},
        {"Dark Souls", "Dark Souls Remastered", false, 0.9f + 0.05f * 9 / 19},
        {"Dark Souls", "Dark Souls 3", false, 0.7f + 0.15f * 9 / 10},
        {"Portal", "Portal Knights", false, 36.0f / 78.0f},   // one word is never safely contained
        {"生化危机", "生化危机2", true, 0.7f + 0.25f * 4 / 5},
        {"仙剑", "剑仙", true, 0.25f},
        {"ＤＡＲＫ ＳＯＵＬＳ", "Dark Souls", false, 0.99f},
        {"Dark Souls", "黑暗之魂Dark Souls", false, 0.7f + 0.15f * 9 / 13},
        {"Dark Souls 龙", "Dark Souls 龙 2", false, 100.0f / 110.0f},   // one CJK character: untrusted
        {"黑暗之魂 Dark", "黑暗之魂 Dark Souls", false, 0.9f + 0.05f * 8 / 13},
        {"Halo", "Halo 2", true, 16.0f / 20.0f},
        {"最终幻想十五", "最终幻想XV", true, 4.0f * 4.0f / (6 * 6)},
        {"生化危机IV", "生化危机4 豪华版", false, 0.99f},
        {std::string(300, 'a'), std::string(150, 'a') + "-" + std::string(151, 'b'), false,
         150.0f * 150.0f / (300.0f * 301.0f)},   // rows beyond the stack buffer
    };
    for (const Case& c : cases) {
        const std::string na = normalizeForMatch(c.a), nb = normalizeForMatch(c.b);
        EXPECT_NEAR(scoreMatch(c.a, c.b, na, nb, tokenizeUtf8(na), tokenizeUtf8(nb), c.isChinese), c.want, kTol)
            << c.a << " | " << c.b;
    }
}

TEST(Score, RankStoreItems) {
    // Chinese part, English part (the digit) and whole text each get a chance.
    const auto re = rankStoreItems("生化危机4", {{2, "Resident Evil 4"}, {1, "生化危机4 重制版"}});
    EXPECT_EQ(appids(re), (std::vector<int32_t>{1, 2}));
    EXPECT_NEAR(re[0].score, 0.99f, kTol);

    // Ties keep the store's order.
    const auto tied = rankStoreItems(
        "Dark Souls", {{30, "Dark Souls II"}, {10, "Dark Souls"}, {20, "DARK SOULS II"}, {40, "Dark Souls II"}});
    EXPECT_EQ(appids(tied), (std::vector<int32_t>{10, 30, 20, 40}));

    std::vector<StoreItem> many;
    for (int i = 0; i < 25; ++i) many.push_back({i, "Portal " + std::to_string(i)});
    const auto cut = rankStoreItems("Portal 7", many);
    ASSERT_EQ(cut.size(), kMaxCandidates);
    EXPECT_EQ(cut[0].appid, 7);

    // NaN scores sink below every number; equal scores keep their order.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<MatchCandidate> list;
    for (const auto& [id, s] : {std::pair{1, nan}, {2, 0.1f}, {3, nan}, {4, 0.0f}, {5, 0.1f}}) {
        list.emplace_back();
        list.back().appid = id;
        list.back().score = s;
    }
    orderCandidates(list);
    EXPECT_EQ(appids(list), (std::vector<int32_t>{2, 5, 4, 1, 3}));
}

}  // namespace
