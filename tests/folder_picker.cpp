#include "app/folder_picker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "tests/test_util.h"

namespace {

using kbtest::TempDir;

TEST(FolderPicker, PathLogic) {
    struct Case {
        std::string in, parent;
    };
    for (const Case& c : std::vector<Case>{{"/", "/"}, {"/a", "/"}, {"/a/b", "/a"}, {"/a/b/", "/a"}, {"", "/"}})
        EXPECT_EQ(parentFolder(c.in), c.parent) << c.in;
    EXPECT_EQ(childFolder("/", "x"), "/x");
    char buf[8];
    copyPathToBuffer("/ab/游戏", buf, sizeof buf);  // 4 + 6 bytes do not fit in 7
    EXPECT_STREQ(buf, "/ab/游");

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

// The desktop's dialog is a stand-in zenity first on PATH that records its arguments.
TEST(FolderPicker, DesktopDialog) {
    TempDir bin, out;
    const std::string oldPath = std::getenv("PATH");
    setenv("PATH", (bin.path + ":" + oldPath).c_str(), 1);
    auto zenity = [&](const std::string& body) {
        kbtest::writeFile(bin.path + "zenity", "#!/bin/sh\n" + body);
        chmod((bin.path + "zenity").c_str(), 0755);
    };
    std::string chosen = "untouched";
    zenity("printf '%s\\n' \"$@\" > '" + out.path + "args'\nprintf '/home/user/资源 目录\\n'\n");
    EXPECT_TRUE(runSystemFolderDialog("选择资源目录", "/start dir's", chosen));
    EXPECT_EQ(chosen, "/home/user/资源 目录");
    EXPECT_EQ(kbtest::readFile(out.path + "args"),
              "--file-selection\n--directory\n--title=选择资源目录\n--filename=/start dir's/\n");

    zenity("exit 1\n");  // cancelled
    EXPECT_TRUE(runSystemFolderDialog("选择资源目录", "", chosen));
    EXPECT_TRUE(chosen.empty());
    setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
