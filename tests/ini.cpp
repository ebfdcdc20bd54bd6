// set.ini: the [Categories] categories= line and everything that must not count as it.
#include <gtest/gtest.h>

#include "data/ini.h"
#include "tests/test_util.h"

using V = std::vector<std::string>;

TEST(CategoriesIni, ParsesOnlyTheFirstCategoriesLineOfTheSection) {
    struct Case { const char* name; std::string text; V want; };
    const Case cases[] = {
        {"plain", "[Categories]\ncategories=动作|冒险|角色扮演\n", {"动作", "冒险", "角色扮演"}},
        {"crlf", "[Categories]\r\ncategories=动作|冒险\r\n", {"动作", "冒险"}},
        {"empty pieces", "[Categories]\ncategories=动作||冒险|\n", {"动作", "冒险"}},
        {"spaces kept", "[Categories]\ncategories=动作 | 冒险\n", {"动作 ", " 冒险"}},
        {"capital key", "[Categories]\nCategories=动作\n", {}},
        {"spaces around =", "[Categories]\ncategories = 动作\n", {}},
        {"before section", "categories=甲\n[Categories]\ncategories=乙\n", {"乙"}},
        {"other section", "[Other]\ncategories=甲\n[Categories]\ncategories=乙\n", {"乙"}},
        {"two lines", "[Categories]\ncategories=甲\ncategories=乙\n", {"甲"}},
        {"bom hides header", "\xEF\xBB\xBF[Categories]\ncategories=甲\n", {}},
        {"leading blanks", "[Categories]\n  \tcategories=动作\n", {"动作"}},
        {"comments", "[Categories]\n; categories=甲\n# categories=乙\ncategories=丙\n", {"丙"}},
        {"header suffix", "[Categories] ; menu\ncategories=甲\n", {"甲"}},
        {"lowercase header", "[categories]\ncategories=甲\n", {}},
        {"no final newline", "[Categories]\ncategories=甲|乙", {"甲", "乙"}},
        {"section left", "[Categories]\n[Next]\ncategories=甲\n", {}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(parseCategoriesIni(c.text), c.want) << c.name;
}

TEST(CategoriesIni, LoadsFromTheMenuFolderAndEmptiesWhenMissing) {
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir menu(dir.path);
    gCategoryList = {"stale"};
    loadCategoriesFromIni();
    EXPECT_TRUE(gCategoryList.empty());
    kbtest::writeFile(dir.path + "set.ini", "[Main]\nx=1\n[Categories]\ncategories=射击|策略\n");
    loadCategoriesFromIni();
    EXPECT_EQ(gCategoryList, (V{"射击", "策略"}));
}
