// The matching engine on real titles where the value matters: comparison keys, the cut of mixed
// titles, the keys of the Chinese and English similarity and the store scores. Range, symmetry,
// key shape, the precomputed forms, the bounds, the similarity against its definition and the
// ranking are checked by the fuzz targets.
#include <gtest/gtest.h>

#include <string>

#include "match/compare.h"
#include "match/normalize.h"
#include "match/score.h"
#include "match/text.h"

namespace {

using namespace std::string_literals;

constexpr float kTol = 1e-5f;

struct TextCase {
    std::string in, want;
};

struct ScoreCase {
    std::string a, b;
    float want;
};

std::string repeat(const char* s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

TEST(Engine, Keys) {
    const TextCase forMatch[] = {
        {"最终幻想Ⅹ", "最终幻想10"},
        {"最终幻想十五 豪华版", "最终幻想15"},
        {"生化危机IV 豪华版 中文版", "生化危机4"},
        {"Rocky IV", "rockyiv"},   // a Roman numeral counts only after a non-ASCII character
        {"勇者xiii", "勇者xiii"},  // first table entry wins: iii follows an x
        {"ＡＢＣ１２３ａｂｃ", "abc123abc"},
        {"九十九", "99"},
        {"一十五", "1105"},  // not a 1-99 form: per character
        {"年度版游戏", "年度版游戏"},  // only the end is cut
        {"A\0B"s, "ab"},
        {"生\xE5\x8D化", "生"},  // a cut-off character swallows the next lead
        {"\xEF\x7C\x50", ""},    // malformed: would decode as a full-width digit
        {"\xE0\x80\x80z", "z"},  // overlong
    };
    for (const TextCase& c : forMatch) EXPECT_EQ(normalizeForMatch(c.in), c.want) << c.in;
    const TextCase gameName[] = {
        {"《 Half-Life 2 》", "half-life2"},
        {"【中文】游戏（测试）", "中文游戏测试"},
        {"「ＡＢ」：Pokémon", "ＡＢ：pokémon"},
        {"\xE5\x41\x41" "b", "\xE5\x41\x41" "b"},  // a malformed sequence is copied whole
    };
    for (const TextCase& c : gameName) EXPECT_EQ(normalizeGameName(c.in), c.want) << c.in;
    EXPECT_TRUE(isCjkDigitChar("〇") && !isCjkDigitChar("百"));
}

TEST(Engine, MixedTitles) {
    const std::pair<std::string, int> types[] = {
        {"使命召唤COD", NameType::Chinese},       // 4 Chinese, 3 Latin
        {"生化危机 Resident Evil", NameType::Mixed},
        {"ポケモン", NameType::English},          // kana is not Chinese
        {"\xF0\xA0\x80\x80", NameType::English},  // extension B is not counted
    };
    for (const auto& [title, want] : types) EXPECT_EQ(classifyNameType(title), want) << title;
    const TextCase splits[] = {  // want: the two parts joined by '|'
        {"最终幻想XV Final Fantasy XV", "最终幻想XV| Final Fantasy XV"},
        {"生化危机4 Resident Evil 4", "|生化危机4 Resident Evil 4"},
        {"Resident Evil 4 生化危机4", "Resident Evil 4 |生化危机4"},
        {"Age of 帝国XX:Rise", "Age of |帝国XX:Rise"},
        {"Game 龙》II Dragon", "Game 龙》II| Dragon"},
    };
    for (const TextCase& c : splits) {
        const auto [cn, en] = splitNameToCnEn(c.in);
        EXPECT_EQ(cn + "|" + en, c.want);
    }
}

TEST(Engine, Similarity) {
    const ScoreCase chinese[] = {
        {"生化危机4", "生化危机四", 1.0f},
        {"最终幻想XV", "最终幻想十五", 1.0f},
        {"最终幻想15", "最终幻想十五", 5.0f / 6.0f},
        {"英雄联盟 League", "英雄联盟", 0.99f},  // a dropped Latin word costs 0.01
        {"\xE5\x8D生化危机", "生化危机", 0.69f},  // a broken lead swallows the first byte of 生
        {repeat("龙", 200), repeat("龙", 200) + "虎", 0.97f},  // keys beyond the stack buffer
    };
    for (const ScoreCase& c : chinese) EXPECT_NEAR(compareChinese(c.a, c.b), c.want, kTol) << c.a << " | " << c.b;
    const ScoreCase english[] = {
        {"Half-Life 2", "half life 2", 1.0f},
        {"生化危机4 Resident Evil 4", "4residentevil4", 1.0f},
        {std::string(500, 'a') + "b" + std::string(499, 'a'), std::string(1000, 'a'), 0.5f},
    };
    for (const ScoreCase& c : english) EXPECT_NEAR(compareEnglish(c.a, c.b), c.want, kTol) << c.a << " | " << c.b;
}

TEST(Engine, StoreScores) {
    struct Case {
        std::string a, b;
        bool isChinese;
        float want;
    };
    const Case cases[] = {
        {"PORTAL 2", "Portal 2", false, 0.99f},
        {"Dark Souls", "Dark Souls Remastered", false, 0.9f + 0.05f * 9 / 19},
        {"Dark Souls", "Dark Souls 3", false, 0.7f + 0.15f * 9 / 10},
        {"Portal", "Portal Knights", false, 36.0f / 78.0f},  // one word is never safely contained
        {"生化危机", "生化危机2", true, 0.7f + 0.25f * 4 / 5},
        {"Dark Souls 龙", "Dark Souls 龙 2", false, 100.0f / 110.0f},  // one CJK character: untrusted
        {"Halo", "Halo 2", true, 16.0f / 20.0f},
        {"最终幻想十五", "最终幻想XV", true, 4.0f * 4.0f / (6 * 6)},
        {std::string(300, 'a'), std::string(150, 'a') + "-" + std::string(151, 'b'), false,
         150.0f * 150.0f / (300.0f * 301.0f)},  // rows beyond the stack buffer
    };
    for (const Case& c : cases) {
        const std::string na = normalizeForMatch(c.a), nb = normalizeForMatch(c.b);
        EXPECT_NEAR(scoreMatch(c.a, c.b, na, nb, tokenizeUtf8(na), tokenizeUtf8(nb), c.isChinese), c.want, kTol)
            << c.a << " | " << c.b;
    }
}

}  // namespace
