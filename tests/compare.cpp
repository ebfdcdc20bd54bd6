// Chinese and English title similarity, plain and with precomputed keys.
#include "match/compare.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
constexpr float kTol = 1e-5f;

struct ScoreCase {
    std::string a, b;
    float want;
};

uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

TEST(Compare, ChineseKey) {
    struct Case {
        std::string title, key;
        bool dropped;
    };
    const Case cases[] = {
        {"生化危机4", "生化危机四", false},
        {"最终幻想XV", "最终幻想十五", false},
        {"最终幻想15", "最终幻想一五", false},
        {"最终幻想１５", "最终幻想一五", false},   // full-width digits
        {"英雄联盟 League", "英雄联盟", true},
        {"Xbox 游戏", "游戏", true},               // numeral letter followed by a letter
        {"游戏 XXX", "游戏", true},                // not in the table
        {"游戏 xx", "游戏二十", false},
        {"游戏 IIII", "游戏", true},
        {"游戏Ⅳ", "游戏Ⅳ", false},                // the symbol stays as it is
        {"游戏：「X」", "游戏：「十」", false},     // CJK punctuation stays, X is standalone
        {"游戏iv", "游戏四", false},
        {"V生", "五生", false},                    // numeral followed by a multi-byte character
        {"游戏 Civ", "游戏", true},
        {"游戏 2X", "游戏二十", false},            // after a digit a letter starts a word
        {"游戏 XIX.", "游戏十九", false},
        {"游戏 XVIII", "游戏十八", false},
        {"游戏 XXI", "游戏", true},
        {"游戏 X\xE5", "游戏十", false},           // cut-off tail ends the title
        {"生\x80", "生\x80", false},               // stray byte kept
        {"", "", false},
    };
    for (const Case& c : cases) {
        bool dropped = !c.dropped;
        EXPECT_EQ(buildChineseKey(c.title, dropped), c.key) << c.title;
        EXPECT_EQ(dropped, c.dropped) << c.title;
    }
}

const ScoreCase kChinese[] = {
    {"", "生化危机", 0.0f},
    {"生化危机", "", 0.0f},
    {"生化危机", "生化危机", 1.0f},
    {"Resident Evil", "生化危机", 0.0f},
    {"《Halo》", "生化危机", 0.0f},
    {"生化危机4", "生化危机四", 1.0f},
    {"最终幻想XV", "最终幻想十五", 1.0f},
    {"最终幻想15", "最终幻想十五", 5.0f / 6.0f},
    {"生化危机", "生化危机2", 0.97f},
    {"三国志", "三国志11", 0.94f},
    {"英雄联盟 League", "英雄联盟", 0.99f},
    {"龙", "龙之谷", 0.76f},
    {"仙剑", "剑仙", 0.4f},
    {"甲乙丙", "乙丙甲", 1.0f / 3.0f},
    {"乙丙甲", "甲乙丙", 2.0f / 3.0f},     // the order of the arguments matters
    {"Halo", "Halo", 1.0f},
    {"Halo", "Halo 2", 0.0f},
    {"游戏Ⅳ", "游戏四", 2.0f / 3.0f},
    {"最终幻想１５", "最终幻想15", 1.0f},        // full-width on one side only
    {"最终幻想１５", "最终幻想十五", 5.0f / 6.0f},
    {"龙", "虎", 0.0f},
    {"Halo 游戏", "Halo", 0.0f},                // b has no Chinese character
    {"Xbox", "生化危机", 0.0f},
    {"生化危机\xE5\x8D", "生化危机", 1.0f},      // cut tail dropped from the key
    // a broken lead swallows the first byte of 生: 3 of 4 found, two extra characters
    {"\xE5\x8D生化危机", "生化危机", 0.69f},
    {"ab\xE7\x94", "生", 0.0f},                  // cut-off three-byte character: no Chinese
    {"生化危机\0"s, "生化危机", 1.0f},
};

TEST(Compare, Chinese) {
    for (const ScoreCase& c : kChinese) {
        EXPECT_NEAR(compareChinese(c.a, c.b), c.want, kTol) << c.a << " | " << c.b;
        const ChineseKey ka = makeChineseKey(c.a);
        const ChineseKey kb = makeChineseKey(c.b);
        EXPECT_EQ(bits(compareChineseKeys(ka, kb)), bits(compareChinese(c.a, c.b)))
            << c.a << " | " << c.b;
        EXPECT_GE(compareChineseBound(ka, kb), compareChineseKeys(ka, kb)) << c.a << " | " << c.b;
    }
}

TEST(Compare, ChineseLongTitlesSpillToHeap) {
    std::string a, b;
    for (int i = 0; i < 200; ++i) a += "龙";
    b = a + "虎";
    const float want = 1.0f - 0.03f;
    EXPECT_NEAR(compareChinese(a, b), want, kTol);
    EXPECT_EQ(bits(compareChineseKeys(makeChineseKey(a), makeChineseKey(b))),
              bits(compareChinese(a, b)));
}

const ScoreCase kEnglish[] = {
    {"", "Halo", 0.0f},
    {"Halo", "", 0.0f},
    {"生化危机", "Resident Evil", 0.0f},
    {"Half-Life 2", "half life 2", 1.0f},
    {"Resident Evil 4", "Resident Evil 4 Biohazard", 13.0f / 22.0f},
    {"Portal 2", "Portal", 6.0f / 7.0f},
    {"The Witcher 3", "Witcher 3", 8.0f / 11.0f},
    {"abc", "xyz", 0.0f},
    {"生化危机4 Resident Evil 4", "4residentevil4", 1.0f},
    {"生化危机", "生化危机", 0.0f},
    {"ＡＢＣ", "ＡＢＣ", 0.0f},                  // full-width letters are not ASCII
    {"ＡＢＣ abc", "abc", 1.0f},
    {"abcXabc", "abcabc", 3.0f / 7.0f},
    {"xxabcdyy", "zabcdz", 4.0f / 8.0f},
    {"a\0b"s, "ab", 1.0f},
};

TEST(Compare, English) {
    for (const ScoreCase& c : kEnglish) {
        EXPECT_NEAR(compareEnglish(c.a, c.b), c.want, kTol) << c.a << " | " << c.b;
        EXPECT_EQ(bits(compareEnglish(c.a, c.b)), bits(compareEnglish(c.b, c.a)))
            << c.a << " | " << c.b;
        const std::string ka = englishKey(c.a);
        const std::string kb = englishKey(c.b);
        EXPECT_EQ(bits(compareEnglishKeys(ka, kb)), bits(compareEnglish(c.a, c.b)));
        EXPECT_GE(compareEnglishBound(ka, kb), compareEnglishKeys(ka, kb));
    }
}

TEST(Compare, EnglishLongTitles) {
    std::string a(1000, 'a');
    std::string b = a;
    b[500] = 'b';
    EXPECT_NEAR(compareEnglish(a, b), 500.0f / 1000.0f, kTol);
    EXPECT_EQ(englishKey("Half-Life 2: Episode One"), "halflife2episodeone");
}

}  // namespace
