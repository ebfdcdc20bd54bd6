// set.ini: the [Categories] categories= line, everything that must not count as it, and
// the file's encodings.
#include <gtest/gtest.h>

#include "data/ini.h"
#include "tests/test_util.h"

TEST(CategoriesIni, OnlyTheFirstCategoriesLineOfTheSectionInUtf8OrGbk) {
    struct Case {
        const char* file;  // nullptr: no set.ini
        std::vector<std::string> want;
        std::string note = kNoCategoriesMessage;
    };
    const std::string gbkNote = "set.ini 不是 UTF-8 编码，已按 GBK（代码页 936）读取并转换为 UTF-8。";
    const Case cases[] = {
        {nullptr, {}},
        {"\xEF\xBB\xBF[Categories]\r\ncategories=动作||冒险|\r\n", {"动作", "冒险"}, ""},  // as Notepad saves it
        {"[Categories]\ncategories= 动作 ||\t冒险 | ", {" 动作 ", "\t冒险 ", " "}, ""},  // pieces as written
        {"[Categories]\ncategories=\xB6\xAF\xD7\xF7|\xC3\xB0\xCF\xD5\n", {"动作", "冒险"}, gbkNote},
        {"categories=甲\n[Other]\ncategories=乙\n[Categories]\ncategories=丙\ncategories=丁\n", {"丙"}, ""},
        {"[Categories]\nCategories=甲\ncategories = 乙\n; categories=丙\n# categories=丁\n  \tcategories=戊", {"戊"}, ""},
        {"[Categories] ; menu\ncategories=甲|乙", {"甲", "乙"}, ""},
        {"[categories]\ncategories=甲\n", {}},
        {"[Categories]\n[Next]\ncategories=甲\n", {}},
    };
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir menu(dir.path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "no file");
        if (c.file) kbtest::writeFile(dir.path + "set.ini", c.file);
        gCategoryList = {"stale"};
        EXPECT_EQ(loadCategoriesFromIni(), c.note);
        EXPECT_EQ(gCategoryList, c.want);
    }
}
