// The folder match and the copy of the chosen folders into media/<game>/, on real folders.
#include "match/folder_match.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <tuple>

#include "data/game.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "match/rules.h"
#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;
using kbtest::TempDir;

PanelOptions optionsFor(const std::string& dir) {
    PanelOptions o;
    std::snprintf(o.localDir, sizeof o.localDir, "%s", dir.c_str());
    return o;
}

GameInfo game(const std::string& name, const std::string& folder = "", bool ticked = false) {
    GameInfo g;
    g.name = name;
    g.ticked = ticked;
    if (!folder.empty()) installCandidates(g, {MatchCandidate{0, "folder", folder, 1.0f}}, "精确");
    return g;
}

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override { resetJobGlobals(); }
    void TearDown() override {
        dummyGames.clear();
        resetJobGlobals();
    }
};

TEST_F(FolderTest, Match) {
    TempDir res;
    for (const char* d : {"生化危机4", "Portal 2", "Half-Life 2", "最终幻想十五"}) kbtest::makeDirs(res.path + d);
    kbtest::writeFile(res.path + "loose.txt", "not a folder");
    dummyGames = {game("Portal 2"), game("半条命 Half-Life II"), game("最终幻想XV"), game("Unrelated Title"),
                  game("生化危机4"), game("Portal 2")};
    dummyGames[4].imageCount = 2;  // has resources: skipped, unchanged
    dummyGames[4].textCount = 1;
    installCandidates(dummyGames[5], {MatchCandidate{620, "Portal 2", "", 1.0f}}, "网络匹配");  // kept, not counted

    EXPECT_EQ(localFolderMatch(optionsFor(res.path)),
              "本地文件夹匹配完成\n命中: 3 / 6 (跳过: 1)\n子文件夹数: 4\n目录: " + res.path);
    EXPECT_EQ(dummyGames[0].candidates.at(0).extra, res.path + "Portal 2");
    const std::pair<const char*, const char*> want[] = {{"Portal 2", "精确"},     {"Half-Life 2", "模糊"},
                                                        {"最终幻想十五", "精确"}, {"", "未命中"},
                                                        {"", ""},                 {"Portal 2", "网络匹配"}};
    for (size_t i = 0; i < dummyGames.size(); ++i) {
        EXPECT_EQ(dummyGames[i].matchedName, want[i].first) << i;
        EXPECT_EQ(dummyGames[i].matchMethod, want[i].second) << i;
    }
    // Cleaned scores are shown on the options' scale.
    EXPECT_EQ(dummyGames[1].similarity, shownCleanedScore(folderScore("半条命 Half-Life II", "Half-Life 2", true)));

    EXPECT_EQ(localFolderMatch(optionsFor(res.path + "loose.txt")), "请先选择有效的资源目录。");
    EXPECT_EQ(localFolderMatch(optionsFor(res.path + "Portal 2")), "资源目录下没有子文件夹。");
}

// Without cleaning: the per-pair rule, each part of a mixed title against the folder name in
// its own script.
TEST(FolderScore, PerPairRule) {
    const std::tuple<const char*, const char*, float> rows[] = {
        {"龙", "龙之谷", 0.76f},              // one character: 1 - 0.18, two characters longer
        {"Battlefield 战地3", "3", 0.0f},  // "3" of the Chinese part is not an English key
        {"Portal 2 传送门", "传送门2", 0.97f},
        {"2048", "2048 Puzzle", 0.4f},
    };
    for (const auto& [game, folder, want] : rows) EXPECT_FLOAT_EQ(folderScore(game, folder), want) << game;
}

// Five .PNG, one .jpg, one .JPEG, two texts and files that are never copied.
void fillSource(const std::string& dir) {
    for (int i = 1; i <= 5; ++i) kbtest::writeFile(dir + "shot" + std::to_string(i) + ".PNG", "png");
    for (const char* f : {"cover.jpg", "wide.JPEG", "info.txt", "readme.TXT", "notes.doc"}) kbtest::writeFile(dir + f, f);
    kbtest::makeDirs(dir + "sub.png");
}

size_t filesIn(const std::string& dir) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST_F(FolderTest, CopyOptionsAndProblems) {
    struct Case {
        int limit;
        bool matchImages, jpg;
        int copied;  // files in media/Good Game/
    };
    const Case cases[] = {{0, true, true, 9}, {3, true, true, 5}, {0, false, true, 2}, {0, true, false, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.copied);
        TempDir menu, res;
        kbtest::ScopedMenuDir scope(menu.path);
        kbtest::makeDirs(res.path + "Good");
        fillSource(res.path + "Good/");
        kbtest::writeFile(res.path + "NotAFolder", "x");
        // A link at a target is replaced, never written through.
        kbtest::makeDirs(res.path + "G");
        kbtest::writeFile(res.path + "G/a.txt", "second");
        kbtest::makeDirs(menu.path + "media/G");
        kbtest::writeFile(menu.path + "outside.txt", "keep");
        fs::create_symlink(menu.path + "outside.txt", menu.path + "media/G/a.txt");
        dummyGames = {game("Store Game", "", true),
                      game("No Match", "", true),
                      game("Unticked", res.path + "Good"),
                      game("../escape", res.path + "Good", true),
                      game("File Game", res.path + "NotAFolder", true),
                      game("Good Game", res.path + "Good", true),
                      game("G", res.path + "G", true)};
        installCandidates(dummyGames[0], {MatchCandidate{620, "Portal 2", "", 0.9f}}, "网络匹配");
        PanelOptions o = optionsFor(res.path);
        o.imageLimitIndex = c.limit;
        o.matchImages = c.matchImages;
        o.imgTypeJpg = c.jpg;
        EXPECT_EQ(copyLocalResources(o), "复制资源完成\n已复制: " + std::to_string(c.copied + 1) +
                                             " 个文件\n跳过: 4 个游戏\n\n[Store Game] 源目录不存在: \n[../escape] " +
                                             std::string(kMediaNameRefused) +
                                             "\n[File Game] 无法读取源目录: " + res.path + "NotAFolder (不是文件夹)\n");
        EXPECT_EQ(filesIn(menu.path + "media/Good Game"), static_cast<size_t>(c.copied));
        EXPECT_EQ(dummyGames[5].textCount, 2);  // the table shows the new files at once
        EXPECT_EQ(filesIn(menu.path + "media"), 2u);
        EXPECT_FALSE(fs::exists(menu.path + "escape"));
        EXPECT_EQ(kbtest::readFile(menu.path + "media/G/a.txt"), "second");
        EXPECT_EQ(kbtest::readFile(menu.path + "outside.txt"), "keep");
        EXPECT_FALSE(fs::is_symlink(menu.path + "media/G/a.txt"));
    }
}

}  // namespace
