#include "app/folder_picker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "data/files.h"
#include "tests/test_util.h"

namespace {

using kbtest::TempDir;

// Puts a folder first on PATH for the scope.
struct ScopedPath {
    explicit ScopedPath(const std::string& dir) {
        const char* p = std::getenv("PATH");
        old = p ? p : "";
        setenv("PATH", (dir + ":" + old).c_str(), 1);
    }
    ~ScopedPath() { setenv("PATH", old.c_str(), 1); }
    std::string old;
};

void writeScript(const std::string& path, const std::string& body) {
    kbtest::writeFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

TEST(FolderPicker, PathLogic) {
    EXPECT_EQ(shellQuote("it's"), "'it'\\''s'");
    struct Case {
        std::string in, parent;
    };
    for (const Case& c : std::vector<Case>{{"/", "/"}, {"/a", "/"}, {"/a/b", "/a"}, {"/a/b/", "/a"}, {"", "/"}})
        EXPECT_EQ(parentFolder(c.in), c.parent) << c.in;
    EXPECT_EQ(childFolder("/", "x"), "/x");

    TempDir d;
    kbtest::makeDirs(d.path + "b 文件夹");
    kbtest::makeDirs(d.path + "a");
    kbtest::makeDirs(d.path + ".hidden");
    kbtest::writeFile(d.path + "file.txt", "x");
    std::string err;
    EXPECT_EQ(listSubfolders(d.path, err), (std::vector<std::string>{"a", "b 文件夹"}));
    EXPECT_TRUE(err.empty());
    EXPECT_TRUE(listSubfolders(d.path + "missing", err).empty());

    EXPECT_EQ(browserStartFolder(d.path + "a/"), d.path + "a");
    const char* home = std::getenv("HOME");
    const std::string fallback = browserStartFolder(d.path + "missing");
    EXPECT_TRUE(fallback == "/" || (home && fallback == home)) << fallback;
    EXPECT_EQ(browserStartFolder("relative/path"), fallback);
}

TEST(FolderPicker, CopyIntoFieldKeepsWholeCharacters) {
    char buf[8];
    copyPathToBuffer("/ab/游戏", buf, sizeof buf);  // 4 + 6 bytes do not fit in 7
    EXPECT_STREQ(buf, "/ab/游");
}

TEST(FolderPicker, DesktopDialog) {
    TempDir bin, out;
    ScopedPath path(bin.path);
    std::string chosen = "untouched";
    // A stand-in for the desktop's dialog that records its arguments and answers like zenity.
    writeScript(bin.path + "zenity", "printf '%s\\n' \"$@\" > '" + out.path + "args'\nprintf '/home/user/资源 目录\\n'\n");
    EXPECT_TRUE(runSystemFolderDialog("选择资源目录", "/start dir", chosen));
    EXPECT_EQ(chosen, "/home/user/资源 目录");
    EXPECT_EQ(kbtest::readFile(out.path + "args"),
              "--file-selection\n--directory\n--title=选择资源目录\n--filename=/start dir/\n");

    writeScript(bin.path + "zenity", "exit 1\n");  // cancelled
    EXPECT_TRUE(runSystemFolderDialog("选择资源目录", "", chosen));
    EXPECT_TRUE(chosen.empty());
}

}  // namespace
