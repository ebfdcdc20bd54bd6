// Chinese and English title similarity on real titles where the value matters. Range,
// symmetry, the key paths and the bounds are checked against reference forms by the fuzz
// targets.
#include "match/compare.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr float kTol = 1e-5f;

std::string repeat(const char* s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

struct ScoreCase {
    std::string a, b;
    float want;
};

TEST(Compare, Chinese) {
    const ScoreCase cases[] = {
        {"生化危机4", "生化危机四", 1.0f},
        {"最终幻想XV", "最终幻想十五", 1.0f},
        {"最终幻想15", "最终幻想十五", 5.0f / 6.0f},
        {"生化危机", "生化危机2", 0.97f},
        {"英雄联盟 League", "英雄联盟", 0.99f},   // a dropped Latin word costs 0.01
        {"龙", "龙之谷", 0.76f},
        {"仙剑", "剑仙", 0.4f},
        {"乙丙甲", "甲乙丙", 2.0f / 3.0f},        // the order of the arguments matters
        {"游戏Ⅳ", "游戏四", 2.0f / 3.0f},
        {"Halo 游戏", "Halo", 0.0f},              // b has no Chinese character
        {"\xE5\x8D生化危机", "生化危机", 0.69f},  // a broken lead swallows the first byte of 生
        {repeat("龙", 200), repeat("龙", 200) + "虎", 0.97f},   // keys beyond the stack buffer
    };
    for (const ScoreCase& c : cases) {
        EXPECT_NEAR(compareChinese(c.a, c.b), c.want, kTol) << c.a << " | " << c.b;
        const ChineseKey ka = makeChineseKey(c.a), kb = makeChineseKey(c.b);
        EXPECT_EQ(compareChineseKeys(ka, kb), compareChinese(c.a, c.b)) << c.a << " | " << c.b;
        EXPECT_GE(compareChineseBound(ka, kb), compareChineseKeys(ka, kb)) << c.a << " | " << c.b;
    }
    bool dropped = false;
    EXPECT_EQ(buildChineseKey("游戏 XIX.", dropped), "游戏十九");
    EXPECT_FALSE(dropped);
    EXPECT_EQ(buildChineseKey("Xbox 游戏", dropped), "游戏");
    EXPECT_TRUE(dropped);
}

TEST(Compare, English) {
    const ScoreCase cases[] = {
        {"Half-Life 2", "half life 2", 1.0f},
        {"Resident Evil 4", "Resident Evil 4 Biohazard", 13.0f / 22.0f},
        {"Portal 2", "Portal", 6.0f / 7.0f},
        {"The Witcher 3", "Witcher 3", 8.0f / 11.0f},
        {"生化危机4 Resident Evil 4", "4residentevil4", 1.0f},
        {"ＡＢＣ", "ＡＢＣ", 0.0f},                // full-width letters are not ASCII
        {"xxabcdyy", "zabcdz", 4.0f / 8.0f},
        {std::string(500, 'a') + "b" + std::string(499, 'a'), std::string(1000, 'a'), 500.0f / 1000.0f},
    };
    for (const ScoreCase& c : cases) {
        EXPECT_NEAR(compareEnglish(c.a, c.b), c.want, kTol) << c.a << " | " << c.b;
        const std::string ka = englishKey(c.a), kb = englishKey(c.b);
        EXPECT_EQ(compareEnglishKeys(ka, kb), compareEnglish(c.a, c.b)) << c.a << " | " << c.b;
        EXPECT_GE(compareEnglishBound(ka, kb), compareEnglishKeys(ka, kb)) << c.a << " | " << c.b;
    }
}

}  // namespace
