// Title cleaning and folding on real menu titles, copied from the shared fixtures'
// matching-quality sets (quality/dev_*.tsv).
#include <gtest/gtest.h>

#include "match/clean.h"

namespace {

TEST(Clean, RealTitles) {
    const std::pair<const char*, const char*> cases[] = {
        {"原子之心 v1.0-v1.14.4.0 二十九项修改器", "原子之心"},
        {"Fate/EXTELLA v1.0-v20170825 十三项修改器", "Fate/EXTELLA"},
        {"《質量效應™：仙女座》豪華版", "質量效應：仙女座 豪華版|質量效應：仙女座"},
        {"暗黑地牢 b13287-b25559 十一项修改器", "暗黑地牢"},
        {"嗜血印 EarlyAccess 十二项修改器[2020.01.02更新]", "嗜血印"},
        {"寒霜朋克/冰汽时代 v1.0-v1.6 十五项修改器", "寒霜朋克/冰汽时代|寒霜朋克|冰汽时代"},
        // The part after a dash belongs to both names.
        {"WARRIORS OROCHI 4/無双OROCHI３ - Weapons Pack 2",
         "WARRIORS OROCHI 4/無双OROCHI３ - Weapons Pack 2|WARRIORS OROCHI 4 - Weapons Pack 2|無双OROCHI３ - Weapons Pack 2"},
        {"《战斗位置：太平洋》汉化", "战斗位置：太平洋"},
        {"Brotato 土豆兄弟(Brotato)", "Brotato 土豆兄弟|Brotato*|Brotato 土豆兄弟 Brotato"},
        {"Monster Hunter: World - 接待員更換服裝「暴君」", "Monster Hunter: World - 接待員更換服裝 暴君|暴君*"},
        {"Portal 2 @TKCHS 3DM 免安装绿色版", "Portal 2"},
        {"修改器", "修改器"},
        // Notes about a patch end the title up to the next bracketed name or Latin name; a
        // bracketed name among notes is the game's whole name.
        {"3DM汉化组制作《两个世界2HD：破碎的拥抱》完整汉化", "两个世界2HD：破碎的拥抱"},
        {"奇异人生 虎头汉化精校补丁 Life is Strange™", "奇异人生 Life is Strange"},
        // A word a mark ends is the makers' or the patch's, unless it opens the title; a Latin
        // word a mark follows credits a maker.
        {"失落的地平线2（Lost Horizon 2）文本来自CHINAAVG 需要权限 500 xxgt1992提取",
         "失落的地平线2|Lost Horizon 2*|失落的地平线2 Lost Horizon 2"},
        {"闪之轨迹3贴吧汉化", "闪之轨迹3贴吧"},
        {"TIS-100 中文参考手册 由 MacCoy 制作", "TIS-100"},
        {"【灭绝备忘录】【浪子小刀汉化】", "灭绝备忘录"},
        // A subtitle between two like marks ends a title as a bracket would.
        {"塔獵手 ~艾爾莎的試煉~", "塔獵手|艾爾莎的試煉*|塔獵手 艾爾莎的試煉"},
        {"恋神-无用女神-", "恋神|无用女神*|恋神 无用女神"},
        {"Spider-Man-", "Spider-Man"},
        {"위쳐 3: 와일드 헌트 (The Witcher 3: Wild Hunt)",
         "위쳐 3: 와일드 헌트|The Witcher 3: Wild Hunt*|위쳐 3: 와일드 헌트 The Witcher 3: Wild Hunt"},
        {"Sniper Elite V2 v1.05", "Sniper Elite V2"},  // a V and one digit end a name, a version goes
        {"DiRT Rally 2.0 v1.0.2", "DiRT Rally 2.0"},
    };
    for (const auto& [title, want] : cases) {
        std::string got;  // forms joined by '|', a part of the title marked with '*'
        for (const TitleForm& f : cleanTitleForms(title)) got += (got.empty() ? "" : "|") + f.text + (f.part ? "*" : "");
        EXPECT_EQ(got, want) << title;
    }
    EXPECT_EQ(utf8Encode(utf8Decode("a\xE4\xB8")), "a");  // a cut-off sequence is dropped
}

// The base game a remaster or a bundle is listed beside, from real pool names.
TEST(Clean, EditionBases) {
    const std::pair<const char*, const char*> cases[] = {
        {"The Elder Scrolls V: Skyrim Special Edition", "The Elder Scrolls V: Skyrim"},
        {"Grand Theft Auto V 增强版", "Grand Theft Auto V"},
        {"Commandos 2 - HD Remaster", "Commandos 2 - Remaster"},  // "Remaster" is no word of the list
        {"Sid Meier's Pirates!", ""},  // a name that only loses its punctuation names no edition
        {"Dota 2 - SteelSeries DLC ", ""},
    };
    for (const auto& [name, base] : cases) EXPECT_EQ(editionBase(name), base) << name;
}

}  // namespace
