// Text conversion, media names and media counts on real folders.
#include <gtest/gtest.h>

#include <cstring>

#include "data/game.h"
#include "data/paths.h"
#include "data/utf8.h"
#include "tests/test_util.h"

TEST(Paths, Utf8ToWideReplacesMalformedBytes) {
    const std::pair<std::string, std::wstring> cases[] = {
        {"a\xFF" "b\xC0\xAF\xE4\xB8", L"a\uFFFDb\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong '/', a cut character
        {std::string("中\xF0\x9F\x8E\xAE\0cd", 10), L"中\U0001F3AE"},  // a UTF-16 pair; stops at the zero byte
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(utf8ToWide(in), want);
    EXPECT_EQ(wideToUtf8(L"中\U0001F3AE"), "中\xF0\x9F\x8E\xAE");
}

// Every cut of user text (boxes, labels, status lines) ends before a character it would split.
TEST(Utf8, CutsEndOnACharacterBoundary) {
    struct Case {
        std::string text;
        size_t max, want;
    };
    const std::string emoji = "\xF0\x9F\x8E\xAE";
    const Case cases[] = {
        {"ab中", 5, 5}, {"ab中", 4, 2}, {"ab中", 3, 2}, {"ab中", 2, 2}, {"a" + emoji, 4, 1}, {"a" + emoji + "b", 5, 5},
        {"中", 0, 0},   {"", 3, 0},     {"abc", 2, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8PrefixLength(c.text, c.max), c.want) << c.text << " " << c.max;
        char buf[8];
        std::memset(buf, 'z', sizeof buf);
        EXPECT_EQ(copyUtf8IntoBuffer(buf, c.max + 1, c.text), c.want);
        EXPECT_EQ(std::string(buf), c.text.substr(0, c.want));
    }
}

TEST(Paths, MediaNameRule) {
    struct Case {
        std::string name, rel;  // rel "" = refused
    };
    const Case cases[] = {
        {"黑神话：悟空", "黑神话：悟空"}, {"a\\b/c", "a/b/c"}, {"..a", "..a"}, {"Re:Zero", "Re:Zero"}, {"COM0", "COM0"},
        {"LPT10", "LPT10"}, {"a//b", ""}, {"\\server\\x", ""}, {"c:\\x", ""}, {std::string("a\0b", 3), ""},
        {"Nul.txt", ""}, {"x/AUX", ""}, {"lpt9.log", ""}, {"CON .txt", ""}, {"", ""}, {"..", ""},
        {"a/../b", ""}, {"/etc", ""}, {"S.T.A.L.K.E.R.", "S.T.A.L.K.E.R"}, {"a. ./b .", "a/b"}, {"a/. .", ""},
        {"x/...", ""}, {"con.", ""}, {"COM1 ", ""}, {"a/", ""},
    };
    for (const Case& c : cases) {
        std::string rel;
        const bool ok = mediaRelativePath(c.name, rel);
        EXPECT_EQ(ok ? rel : "", c.rel) << c.name;
    }
}

TEST(MediaCounts, CountsImagesAndTextsByExtension) {
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir menu(dir.path);
    const std::string g = dir.path + "media/游戏/";
    kbtest::makeDirs(g + "extra.jpg");  // a folder is no image
    for (const char* f : {"cover.JPG", "shot.webp", ".png", "png", "info.txt", "readme.TXT", "notes.doc"})
        kbtest::writeFile(g + f, "x");
    auto counts = [](const std::string& name) {
        GameInfo gi{.name = name};
        scanMediaCounts(gi);
        return std::pair(gi.imageCount, gi.textCount);
    };
    EXPECT_EQ(counts("游戏"), std::pair(3, 2));
    EXPECT_EQ(counts("游戏. "), std::pair(3, 2));  // the folder a Windows path names
    EXPECT_EQ(counts("不存在"), std::pair(0, 0));
    EXPECT_EQ(counts("../media/游戏"), std::pair(0, 0));  // a refused name is never looked up
}
