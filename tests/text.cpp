// Classing and cutting of mixed titles. That every piece is made of the input's own bytes
// is fuzzed; these cases pin where the cut falls.
#include "match/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(Text, ClassifyNameType) {
    const std::pair<std::string, int> cases[] = {
        {"2048", NameType::English},
        {"使命召唤COD", NameType::Chinese},       // 4 Chinese, 3 Latin
        {"生化危机 Resident Evil", NameType::Mixed},
        {"ポケモン", NameType::English},          // kana is not Chinese
        {"龙a", NameType::Chinese},               // a tie goes to Chinese
        {"\xF0\xA0\x80\x80", NameType::English},  // extension B is not counted
        {"生化\xE5\x8D", NameType::Chinese},
        {"\0生"s, NameType::Chinese},
    };
    for (const auto& [title, want] : cases) EXPECT_EQ(classifyNameType(title), want) << title;
}

TEST(Text, SplitNameToCnEn) {
    struct Case {
        std::string title, cn, en;
    };
    const Case cases[] = {
        {"最终幻想XV Final Fantasy XV", "最终幻想XV", " Final Fantasy XV"},
        {"Final Fantasy 最终幻想XV", "Final Fantasy 最终幻想XV", ""},
        {"生化危机4 Resident Evil 4", "", "生化危机4 Resident Evil 4"},
        {"Resident Evil 4 生化危机4", "Resident Evil 4 ", "生化危机4"},
        {"三国志ix Romance", "三国志ix", " Romance"},
        {"Age of 帝国XX:Rise", "Age of ", "帝国XX:Rise"},
        {"Game 龙》II Dragon", "Game 龙》II", " Dragon"},
        {"Dragon Quest 龙\xE5", "Dragon Quest ", "龙\xE5"},
    };
    for (const Case& c : cases) {
        const auto [cn, en] = splitNameToCnEn(c.title);
        EXPECT_EQ(cn, c.cn) << c.title;
        EXPECT_EQ(en, c.en) << c.title;
    }
    std::string cn, en;
    splitCnEn("《Halo》：Ｘ", cn, en);
    EXPECT_EQ(cn, "《》：Ｘ");
    EXPECT_EQ(en, "Halo");
}

}  // namespace
