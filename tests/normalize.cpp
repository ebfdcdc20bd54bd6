// Comparison keys of titles: real titles plus the rules a key must keep (numerals, edition
// suffixes, broken UTF-8). Key shape and idempotence on random input are fuzzed.
#include "match/normalize.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct KeyCase {
    std::string in, want;
};

TEST(Normalize, ForMatch) {
    const KeyCase cases[] = {
        {"The Witcher 3: Wild Hunt", "thewitcher3wildhunt"},
        {"最终幻想Ⅹ", "最终幻想10"},
        {"最终幻想十五 豪华版", "最终幻想15"},
        {"最终幻想XV", "最终幻想xv"},
        {"生化危机IV 豪华版 中文版", "生化危机4"},
        {"刺客信条：起源 豪华版", "刺客信条起源"},
        {"Rocky IV", "rockyiv"},              // a Roman numeral counts only after a non-ASCII character
        {"勇者xiii", "勇者xiii"},             // first table entry wins: iii follows an x
        {"ＡＢＣ１２３ａｂｃ", "abc123abc"},
        {"九十九", "99"},
        {"一十五", "1105"},                   // not a 1-99 form: per character
        {"三国志十一", "3国志11"},
        {"年度版游戏", "年度版游戏"},         // only the end is cut
        {"豪华版", ""},
        {"ポケモン・ブラック", "ポケモン・ブラック"},
        {"Pokémon", "pokmon"},
        {"A\0B"s, "ab"},
        {"生\xE5\x8D化", "生"},               // a cut-off character swallows the next lead
        {"\xEF\x7C\x50", ""},                 // malformed: would decode as a full-width digit
        {"\xE0\x80\x80z", "z"},               // overlong
    };
    for (const KeyCase& c : cases) EXPECT_EQ(normalizeForMatch(c.in), c.want) << c.in;
    std::string out = "previous content";
    normalizeForMatchInto("Half-Life 2", out);
    EXPECT_EQ(out, "halflife2");
}

TEST(Normalize, GameName) {
    const KeyCase cases[] = {
        {"《 Half-Life 2 》", "half-life2"},
        {"【中文】游戏（测试）", "中文游戏测试"},
        {"A\r\nB", "ab"},
        {"「ＡＢ」：Pokémon", "ＡＢ：pokémon"},
        {"生化\xE5\x8D", "生化"},
        {"\xE5\x41\x41" "b", "\xE5\x41\x41" "b"},   // a malformed sequence is copied whole
    };
    for (const KeyCase& c : cases) EXPECT_EQ(normalizeGameName(c.in), c.want) << c.in;
}

TEST(Normalize, NumeralParser) {
    struct Case {
        std::vector<std::string> run;
        std::string want;
    };
    const Case cases[] = {
        {{"拾", "九"}, "19"}, {{"十", "零"}, ""},       {{"五", "十"}, "50"}, {{"一", "十"}, ""},
        {{"二", "十", "三"}, "23"}, {{"二", "十", "零"}, ""}, {{"〇"}, ""},       {{}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(parseCjkNum1To99(c.run), c.want) << c.run.size();
    EXPECT_TRUE(isCjkDigitChar("〇"));
    EXPECT_FALSE(isCjkDigitChar("百"));
}

}  // namespace
