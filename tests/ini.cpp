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
        {"blanks trimmed", "[Categories]\ncategories= 动作 |\t冒险 | \n", {"动作", "冒险"}},
        {"capital key", "[Categories]\nCategories=动作\n", {}},
        {"spaces around =", "[Categories]\ncategories = 动作\n", {}},
        {"before section", "categories=甲\n[Categories]\ncategories=乙\n", {"乙"}},
        {"other section", "[Other]\ncategories=甲\n[Categories]\ncategories=乙\n", {"乙"}},
        {"two lines", "[Categories]\ncategories=甲\ncategories=乙\n", {"甲"}},
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

TEST(CategoriesIni, LoadsUtf8WithMarkOrGbkAndSaysWhyWhenEmpty) {
    struct Case { const char* name; const char* file; V want; std::string note; };
    const Case cases[] = {
        {"missing", nullptr, {}, kNoCategoriesMessage},
        {"byte-order mark", "\xEF\xBB\xBF[Main]\r\n[Categories]\r\ncategories=射击|策略\r\n", {"射击", "策略"}, ""},
        {"GBK", "[Categories]\ncategories=\xB6\xAF\xD7\xF7|\xC3\xB0\xCF\xD5\n", {"动作", "冒险"},
         "set.ini 不是 UTF-8 编码，已按 GBK（代码页 936）读取并转换为 UTF-8。"},
        {"nothing usable", "[Categories]\ncategories= | \n", {}, kNoCategoriesMessage},
    };
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir menu(dir.path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.file) kbtest::writeFile(dir.path + "set.ini", c.file);
        gCategoryList = {"stale"};
        EXPECT_EQ(loadCategoriesFromIni(), c.note);
        EXPECT_EQ(gCategoryList, c.want);
    }
}
