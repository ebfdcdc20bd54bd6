// Menu folder, text conversion, media names and media counts on real folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "data/game.h"
#include "data/paths.h"
#include "tests/test_util.h"

TEST(Paths, MenuDirFromEnvironmentEndsWithSlash) {
    kbtest::ScopedMenuDir menu("/tmp/some-menu");
    EXPECT_EQ(getExeDir(), "/tmp/some-menu/");
    EXPECT_EQ(mediaRoot(), "/tmp/some-menu/media/");
}

TEST(Paths, Utf8ToWideReplacesMalformedBytes) {
    struct Case { std::string in; std::wstring want; };
    const Case cases[] = {
        {"中文", L"\u4e2d\u6587"},
        {"a\xFF" "b", L"a\uFFFDb"},
        {"\xE4\xB8", L"\uFFFD\uFFFD"},            // three-byte character cut at the end
        {"\xF0\x9F\x8E\xAE", L"\U0001F3AE"},      // four-byte character
        {"\xC0\xAF", L"\uFFFD\uFFFD"},            // overlong slash
        {std::string("ab\0cd", 5), L"ab"},         // stops at the zero byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToWide(c.in), c.want);
        if (c.want.find(L'\uFFFD') == std::wstring::npos) {
            EXPECT_EQ(wideToUtf8(c.want), c.in.substr(0, c.in.find('\0')));
        }
    }
}

TEST(Paths, MediaNameRule) {
    struct Case { std::string name, rel; };  // rel "" = refused
    const Case cases[] = {
        {"Portal 2", "Portal 2"}, {"黑神话：悟空", "黑神话：悟空"}, {"Fate/stay night", "Fate/stay night"},
        {"a\\b/c", "a/b/c"}, {"..a", "..a"}, {".hidden", ".hidden"}, {"Re:Zero", "Re:Zero"},
        {"CONSOLE", "CONSOLE"}, {"COM0", "COM0"}, {"LPT10", "LPT10"}, {"NULL", "NULL"},
        {"", ""}, {".", ""}, {"..", ""}, {"...", ""}, {"a/../b", ""}, {"a//b", ""}, {"a/", ""},
        {"/etc", ""}, {"\\server\\x", ""}, {"C:", ""}, {"c:\\x", ""}, {std::string("a\0b", 3), ""},
        {"con", ""}, {"Nul.txt", ""}, {"x/AUX", ""}, {"COM1", ""}, {"lpt9.log", ""}, {"CON .txt", ""}, {"PRN", ""},
        {"Portal 2.", ""}, {"Portal 2 ", ""}, {"a /b", ""},
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
    for (const char* f : {"cover.JPG", "shot1.jpeg", "shot2.Png", "info.txt", "readme.TXT", "notes.doc", ".png",
                          "png", "a.webp", "b.AVIF", "c.gif", "d.bmp"})
        kbtest::writeFile(g + f, "x");
    struct Case { std::string name; int images; int texts; };
    kbtest::makeDirs(dir.path + "media/Fate/stay night");
    kbtest::writeFile(dir.path + "media/Fate/stay night/cover.png", "x");
    const Case cases[] = {{"游戏", 8, 2}, {"不存在", 0, 0}, {"", 0, 0}, {"../游戏", 0, 0}, {"Fate/stay night", 1, 0}};
    for (const Case& c : cases) {
        GameInfo gi;
        gi.name = c.name;
        scanMediaCounts(gi);
        EXPECT_EQ(gi.imageCount, c.images) << c.name;
        EXPECT_EQ(gi.textCount, c.texts) << c.name;
    }
}

TEST(Clipboard, GoesThroughTheInstalledBackend) {
    std::string box;
    setClipboardBackend([&] { return box; }, [&](const std::string& s) { box = s; });
    writeToClipboard("游戏=动作");
    EXPECT_EQ(readFromClipboard(), "游戏=动作");
    setClipboardBackend(nullptr, nullptr);
    EXPECT_EQ(readFromClipboard(), "");
    // The system clipboard, where there is one without a window (Windows): a round trip
    // keeps characters beyond the basic plane.
    std::string back;
    if (systemClipboardWrite("剪贴板🎮")) {
        EXPECT_TRUE(systemClipboardRead(back) && back == "剪贴板🎮") << back;
    }
}
