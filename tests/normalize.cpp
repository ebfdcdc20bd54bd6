// Comparison keys of titles.
#include "match/normalize.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct KeyCase {
    std::string in, want;
};

TEST(Normalize, ForMatch) {
    const KeyCase cases[] = {
        {"The Witcher 3: Wild Hunt", "thewitcher3wildhunt"},
        {"最终幻想Ⅹ", "最终幻想10"},
        {"最终幻想十五", "最终幻想15"},
        {"最终幻想XV", "最终幻想xv"},
        {"生化危机Ⅱ 重制版", "生化危机2"},
        {"刺客信条：起源 豪华版", "刺客信条起源"},
        {"生化危机IV", "生化危机4"},
        {"Rocky IV", "rockyiv"},
        {"ＡＢＣ１２３", "abc123"},
        {"ａｂｃ", "abc"},
        {"零", "0"},
        {"十十", "1010"},
        {"九十九", "99"},
        {"一十五", "1105"},
        {"三国志十一", "3国志11"},
        {"统一", "统1"},
        {"豪华版", ""},
        {"游戏豪华版中文版", "游戏"},
        {"", ""},
        // numeral runs
        {"二十三", "23"},
        {"五十", "50"},
        {"十五", "15"},
        {"拾", "10"},
        {"一二三四", "1234"},
        {"〇", "0"},
        {"壹", "1"},
        {"一〇", "10"},          // 〇 is not in the parser's table: per character
        {"十一十", "10110"},
        {"二十三四", "21034"},    // four characters never parse
        {"三a五", "3a5"},        // an ASCII byte ends the run
        {"三\xE5", "3"},         // a numeral run ending at a cut-off character
        // stacked suffix after a numeral, and a Roman numeral under a suffix
        {"最终幻想十五 豪华版", "最终幻想15"},
        {"生化危机IV 豪华版 中文版", "生化危机4"},
        {"古墓丽影HD重制版", "古墓丽影"},
        {"游戏终极版典藏版", "游戏"},
        {"年度版游戏", "年度版游戏"},   // only the end is cut
        // ROMAN: first entry in table order wins, only after a non-ASCII character
        {"勇者xii", "勇者12"},
        {"勇者xiii", "勇者xiii"},       // iii matches but follows an x
        {"勇者viii", "勇者8"},
        {"勇者vi", "勇者6"},
        {"勇者x", "勇者x"},
        {"iv", "iv"},                   // the key is the whole output
        {"勇者Ⅳ", "勇者4"},
        // kept and dropped scripts
        {"ポケモン・ブラック", "ポケモン・ブラック"},   // katakana middle dot is katakana
        {"배틀그라운드", "배틀그라운드"},
        {"《Halo》", "halo"},
        {"Pokémon", "pokmon"},         // two-byte characters dropped
        {"Halo\xF0\x9F\x8E\xAE 2", "halo2"},   // four-byte characters dropped
        {"A\0B"s, "ab"},
        {"生化\xE5\x8D", "生化"},      // cut at the end: stop
        {"生\xE5\x8D化", "生"},        // a cut-off character swallows the next lead: both dropped
        {"\xE5\x41\x41x", "x"},        // malformed three-byte sequence: dropped, not copied
        {"\xEF\x7C\x50", ""},          // would decode as a full-width digit
        {"\xE0\x80\x80z", "z"},        // overlong
    };
    for (const KeyCase& c : cases) EXPECT_EQ(normalizeForMatch(c.in), c.want) << c.in;
}

TEST(Normalize, IntoReusesBuffer) {
    std::string out = "previous content";
    normalizeForMatchInto("Half-Life 2", out);
    EXPECT_EQ(out, "halflife2");
    normalizeForMatchInto("", out);
    EXPECT_EQ(out, "");
}

TEST(Normalize, GameName) {
    const KeyCase cases[] = {
        {"《 Half-Life 2 》", "half-life2"},
        {"【中文】游戏（测试）", "中文游戏测试"},
        {"A\tB", "ab"},
        {"A\r\nB", "ab"},
        {"「ＡＢ」：Pokémon", "ＡＢ：pokémon"},   // other characters copied unchanged
        {"生化\xE5\x8D", "生化"},
        {"\x80x", "\x80x"},
        {"\xE5\x41\x41" "b", "\xE5\x41\x41" "b"},   // a malformed sequence is copied whole
        {"", ""},
    };
    for (const KeyCase& c : cases) EXPECT_EQ(normalizeGameName(c.in), c.want) << c.in;
}

TEST(Normalize, NumeralSetAndParser) {
    for (const char* ch : {"一", "二", "三", "四", "五", "六", "七", "八", "九", "十", "零",
                           "〇", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖", "拾"})
        EXPECT_TRUE(isCjkDigitChar(ch)) << ch;
    for (const char* ch : {"百", "两", "1", "", "一二", "Ⅰ", "\xE4\xB8"})
        EXPECT_FALSE(isCjkDigitChar(ch)) << ch;

    struct Case {
        std::vector<std::string> run;
        std::string want;
    };
    const Case cases[] = {
        {{"五"}, "5"},           {{"零"}, "0"},           {{"十"}, "10"},
        {{"〇"}, ""},            {{"壹"}, ""},            {{"十", "五"}, "15"},
        {{"拾", "九"}, "19"},    {{"十", "零"}, ""},      {{"五", "十"}, "50"},
        {{"一", "十"}, ""},      {{"九", "拾"}, "90"},    {{"二", "十", "三"}, "23"},
        {{"一", "十", "五"}, ""}, {{"二", "十", "零"}, ""}, {{"二", "三", "四"}, ""},
        {{"一", "二", "三", "四"}, ""}, {{}, ""},          {{"x"}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(parseCjkNum1To99(c.run), c.want) << c.run.size();
}

}  // namespace
