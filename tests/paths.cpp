// Text conversion, media names and media counts on real folders.
#include <gtest/gtest.h>

#include "data/game.h"
#include "data/paths.h"
#include "tests/test_util.h"

TEST(Paths, Utf8ToWideReplacesMalformedBytes) {
    struct Case {
        std::string in;
        std::wstring want;
    };
    const Case cases[] = {
        {"a\xFF" "b", L"a\uFFFDb"},
        {"\xE4\xB8", L"\uFFFD\uFFFD"},        // three-byte character cut at the end
        {"中\xF0\x9F\x8E\xAE", L"中\U0001F3AE"},  // beyond the basic plane: a pair in UTF-16
        {"\xC0\xAF", L"\uFFFD\uFFFD"},        // overlong slash
        {std::string("ab\0cd", 5), L"ab"},     // stops at the zero byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToWide(c.in), c.want);
        if (c.want.find(L'\uFFFD') == std::wstring::npos) {
            EXPECT_EQ(wideToUtf8(c.want), c.in.substr(0, c.in.find('\0')));
        }
    }
}

TEST(Paths, MediaNameRule) {
    struct Case {
        std::string name, rel;  // rel "" = refused
    };
    const Case cases[] = {
        {"黑神话：悟空", "黑神话：悟空"}, {"a\\b/c", "a/b/c"}, {"..a", "..a"}, {"Re:Zero", "Re:Zero"},
        {"CONSOLE", "CONSOLE"}, {"COM0", "COM0"}, {"LPT10", "LPT10"},
        {"", ""}, {"..", ""}, {"a/../b", ""}, {"a//b", ""}, {"/etc", ""}, {"\\server\\x", ""}, {"c:\\x", ""},
        {std::string("a\0b", 3), ""}, {"Nul.txt", ""}, {"x/AUX", ""}, {"lpt9.log", ""}, {"CON .txt", ""},
        {"Portal 2.", ""}, {"a /b", ""},
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
    kbtest::makeDirs(g + "extra.jpg");
    kbtest::makeDirs(dir.path + "media/Fate/stay night");
    kbtest::writeFile(dir.path + "media/Fate/stay night/cover.png", "x");
    for (const char* f : {"cover.JPG", "shot1.jpeg", "shot2.Png", "info.txt", "readme.TXT", "notes.doc", ".png",
                          "png", "a.webp", "b.AVIF", "c.gif", "d.bmp"})
        kbtest::writeFile(g + f, "x");
    struct Case {
        std::string name;
        int images, texts;
    };
    const Case cases[] = {{"游戏", 8, 2}, {"不存在", 0, 0}, {"../游戏", 0, 0}, {"Fate/stay night", 1, 0}};
    for (const Case& c : cases) {
        GameInfo gi;
        gi.name = c.name;
        scanMediaCounts(gi);
        EXPECT_EQ(std::pair(gi.imageCount, gi.textCount), std::pair(c.images, c.texts)) << c.name;
    }
}

// Where a system clipboard exists without a window (Windows), a round trip keeps
// characters beyond the basic plane.
TEST(Clipboard, SystemClipboardRoundTrip) {
    std::string back;
    if (systemClipboardWrite("剪贴板🎮")) {
        EXPECT_TRUE(systemClipboardRead(back) && back == "剪贴板🎮") << back;
    }
}
