// set.ini: the [Categories] categories= line and everything that must not count as it.
#include <gtest/gtest.h>

#include "data/ini.h"
#include "tests/test_util.h"

using V = std::vector<std::string>;

TEST(CategoriesIni, ParsesOnlyTheFirstCategoriesLineOfTheSection) {
    struct Case {
        std::string text;
        V want;
    };
    const Case cases[] = {
        {"[Categories]\r\ncategories= 动作 ||\t冒险 | \r\n", {"动作", "冒险"}},
        {"categories=甲\n[Other]\ncategories=乙\n[Categories]\ncategories=丙\ncategories=丁\n", {"丙"}},
        {"[Categories]\nCategories=甲\ncategories = 乙\n; categories=丙\n# categories=丁\n  \tcategories=戊", {"戊"}},
        {"[Categories] ; menu\ncategories=甲|乙", {"甲", "乙"}},
        {"[categories]\ncategories=甲\n", {}},
        {"[Categories]\n[Next]\ncategories=甲\n", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(parseCategoriesIni(c.text), c.want) << c.text;
}

TEST(CategoriesIni, LoadsUtf8WithMarkOrGbkAndSaysWhyWhenEmpty) {
    struct Case {
        const char* name;
        const char* file;
        V want;
        std::string note;
    };
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
