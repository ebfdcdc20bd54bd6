// The folder picker's desktop side; the window's own browser is driven by the local journey.
#include "app/folder_picker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "tests/test_util.h"

namespace {

// The desktop's dialog is a stand-in zenity first on PATH that records its arguments.
TEST(FolderPicker, DesktopDialog) {
    kbtest::TempDir bin, out;
    kbtest::ScopedEnv path("PATH", bin.path + ":" + std::getenv("PATH"));
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
}

}  // namespace
