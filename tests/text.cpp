// Character classes and the cutting of mixed titles.
#include "match/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(Text, LeadByteRule) {
    struct Case {
        unsigned char lead;
        size_t len;
    };
    const Case cases[] = {{0x00, 1}, {0x7F, 1}, {0x80, 1}, {0xBF, 1}, {0xC0, 2}, {0xDF, 2},
                          {0xE0, 3}, {0xEF, 3}, {0xF0, 4}, {0xF7, 4}, {0xF8, 1}, {0xFF, 1}};
    for (const Case& c : cases) EXPECT_EQ(utf8SeqLen(c.lead), c.len) << int(c.lead);
}

TEST(Text, IsChineseChar) {
    struct Case {
        std::string s;
        size_t pos;
        bool want;
    };
    const Case cases[] = {
        {"，", 0, false},           // full-width comma U+FF0C
        {"、", 0, false},           // ideographic comma U+3001
        {"\xE3\x90\x80", 0, true},  // U+3400, first of extension A
        {"\xE4\xB6\xBF", 0, true},  // U+4DBF, last of extension A
        {"一", 0, true},            // U+4E00
        {"\xE9\xBF\xBF", 0, true},  // U+9FFF
        {"\xEA\x80\x80", 0, false}, // U+A000, just past the block
        {"ポ", 0, false},           // katakana
        {"한", 0, false},           // hangul
        {"é", 0, false},            // two-byte characters never count
        {"\xF0\xA0\x80\x80", 0, false},  // U+20000, extension B is not counted
        {"a生", 1, true},
        {"生", 3, false},           // position past the end
        {"生", 1, false},           // a continuation byte is no lead
        {"\xE7\x94", 0, false},     // three-byte character cut off
        {"\xF0\xA0\x80", 0, false}, // four-byte character cut off
    };
    for (const Case& c : cases) {
        const unsigned char lead = c.pos < c.s.size() ? static_cast<unsigned char>(c.s[c.pos]) : 0;
        EXPECT_EQ(isChineseChar(lead, c.s, c.pos), c.want) << c.s << " @" << c.pos;
    }
}

TEST(Text, ClassifyNameType) {
    struct Case {
        std::string title;
        int want;
    };
    const Case cases[] = {
        {"", NameType::English},
        {"2048", NameType::English},
        {"生化危机", NameType::Chinese},
        {"生化危机Re", NameType::Chinese},
        {"使命召唤COD", NameType::Chinese},      // 4 Chinese, 3 Latin
        {"生化危机 Resident Evil", NameType::Mixed},
        {"ポケモン", NameType::English},         // kana is not Chinese
        {"龙ab", NameType::Mixed},              // more letters than Chinese
        {"龙a", NameType::Chinese},              // tie goes to Chinese
        {"ＡＢＣ", NameType::English},           // full-width letters are neither
        {"Pokémon", NameType::English},
        {"生化\xE5\x8D", NameType::Chinese},    // cut-off tail is not counted
        {"ab\xE5", NameType::English},
        {"\0生"s, NameType::Chinese},           // a NUL byte is one ASCII byte
    };
    for (const Case& c : cases) EXPECT_EQ(classifyNameType(c.title), c.want) << c.title;
}

TEST(Text, SplitCnEn) {
    struct Case {
        std::string s, cn, en;
    };
    const Case cases[] = {
        {"生化危机4 Resident", "生化危机", "4 Resident"},
        {"a生b化c", "生化", "abc"},
        {"《Halo》：Ｘ", "《》：Ｘ", "Halo"},    // every non-ASCII character goes to cn
        {"Pokémon", "é", "Pokmon"},
        {"生化\xE5\x8D", "生化", ""},            // cut-off three-byte character dropped
        {"ab\xF0\x9F\x98", "", "ab"},            // cut-off four-byte character dropped
        {"\xF0\x9F\x98\x80x", "\xF0\x9F\x98\x80", "x"},
        {"\x80z", "\x80", "z"},                  // stray continuation byte: one character
        {"", "", ""},
    };
    for (const Case& c : cases) {
        std::string cn = "old", en = "old";
        splitCnEn(c.s, cn, en);
        EXPECT_EQ(cn, c.cn) << c.s;
        EXPECT_EQ(en, c.en) << c.s;
    }
}

TEST(Text, SplitNameToCnEn) {
    struct Case {
        std::string title, cn, en;
    };
    const Case cases[] = {
        {"最终幻想XV Final Fantasy XV", "最终幻想XV", " Final Fantasy XV"},
        {"最终幻想XV", "最终幻想XV", ""},                   // type Chinese
        {"Final Fantasy 最终幻想XV", "Final Fantasy 最终幻想XV", ""},
        {"生化危机4 Resident Evil 4", "", "生化危机4 Resident Evil 4"},
        {"Resident Evil 4 生化危机4", "Resident Evil 4 ", "生化危机4"},
        {"Resident Evil", "", "Resident Evil"},
        {"生化危机", "生化危机", ""},
        {"三国志ix Romance", "三国志ix", " Romance"},        // lower-case numerals too
        {"Age of 帝国XX:Rise", "Age of ", "帝国XX:Rise"},   // numeral not followed by a space
        {"Game 龙》II Dragon", "Game 龙》II", " Dragon"},  // non-ASCII after the last ideograph
        {"Dragon Quest 龙》", "Dragon Quest ", "龙》"},      // only non-ASCII after it
        {"Dragon Quest 龙\xE5", "Dragon Quest ", "龙\xE5"},  // cut-off tail is not read
    };
    for (const Case& c : cases) {
        const auto [cn, en] = splitNameToCnEn(c.title);
        EXPECT_EQ(cn, c.cn) << c.title;
        EXPECT_EQ(en, c.en) << c.title;
    }
}

TEST(Text, TokenizeUtf8) {
    struct Case {
        std::string s;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {"A 生", {"A", " ", "生"}},
        {"", {}},
        {"生\xE5\x8D", {"生"}},                                  // three-byte character cut at the end
        {"\xF0\x9F\x8E\xAE!", {"\xF0\x9F\x8E\xAE", "!"}},       // four-byte character
        {"\xF0\x9F\x8E", {}},
        {"é\x80", {"é", "\x80"}},                               // stray byte is its own token
        {"\xFF\xFE", {"\xFF", "\xFE"}},
        {"a\0b"s, {"a", "\0"s, "b"}},
    };
    for (const Case& c : cases) EXPECT_EQ(tokenizeUtf8(c.s), c.want) << c.s;
}

TEST(Text, PackedCharactersCompareLikeTheirBytes) {
    const std::vector<std::string> chars = {"a", "\0"s, "\x80", "é", "\xC3\0"s, "生", "〇",
                                            "\xF0\x9F\x8E\xAE", "\xFF"};
    for (const std::string& x : chars)
        for (const std::string& y : chars)
            EXPECT_EQ(utf8PackChar(x.data(), x.size()) == utf8PackChar(y.data(), y.size()), x == y);
}

}  // namespace
