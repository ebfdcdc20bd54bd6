#include "match/folder_match.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "data/game.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;
using kbtest::TempDir;

PanelOptions optionsFor(const std::string& dir) {
    PanelOptions o;
    std::snprintf(o.localDir, sizeof o.localDir, "%s", dir.c_str());
    return o;
}

GameInfo game(const std::string& name, int images = 0, int texts = 0) {
    GameInfo g;
    g.name = name;
    g.imageCount = images;
    g.textCount = texts;
    return g;
}

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetJobGlobals();
        dummyGames.clear();
    }
    void TearDown() override {
        dummyGames.clear();
        resetJobGlobals();
    }
};

TEST_F(FolderTest, MatchCases) {
    TempDir res;
    for (const char* d : {"生化危机4", "Portal 2", "Half-Life 2", "最终幻想十五"}) kbtest::makeDirs(res.path + d);
    kbtest::writeFile(res.path + "loose.txt", "not a folder");

    std::vector<GameInfo> games = {
        game("Portal 2"),                         // exact folder name
        game("半条命 Half-Life II"),                // mixed: its English part against the folders
        game("最终幻想XV"),                         // XV = 十五
        game("Unrelated Title"),                  // no folder reaches 70%
        game("生化危机4", 2, 1),                    // has resources: skipped, unchanged
    };
    GameInfo matched = game("Portal 2");
    installCandidates(matched, {MatchCandidate{620, "Portal 2", "", 1.0f}}, "网络匹配");
    games.push_back(matched);  // earlier network match: untouched and not counted
    dummyGames = games;

    EXPECT_EQ(localFolderMatch(optionsFor(res.path)),
              "本地文件夹匹配完成\n命中: 3 / 6 (跳过: 1)\n子文件夹数: 4\n目录: " + res.path);
    ASSERT_FALSE(dummyGames[0].candidates.empty());
    EXPECT_EQ(dummyGames[0].candidates[0].appid, 0);
    EXPECT_EQ(dummyGames[0].candidates[0].extra, res.path + "Portal 2");
    const std::pair<const char*, const char*> want[] = {{"Portal 2", "精确"}, {"Half-Life 2", "模糊"},
                                                        {"最终幻想十五", "精确"}, {"", "未命中"},
                                                        {"", ""}, {"Portal 2", "网络匹配"}};
    for (size_t i = 0; i < dummyGames.size(); ++i) {
        EXPECT_EQ(dummyGames[i].matchedName, want[i].first) << i;
        EXPECT_EQ(dummyGames[i].matchMethod, want[i].second) << i;
    }
}

TEST_F(FolderTest, MatchRefusals) {
    TempDir res;
    kbtest::writeFile(res.path + "a.txt", "x");
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"", true, "请先选择有效的资源目录。"},
        {res.path + "a.txt", true, "请先选择有效的资源目录。"},
        {res.path, false, "请先点击【读取数据】加载游戏。"},
        {res.path, true, "资源目录下没有子文件夹。"},
    };
    for (const auto& [dir, games, msg] : cases) {
        dummyGames.clear();
        if (games) dummyGames.push_back(game("Anything"));
        EXPECT_EQ(localFolderMatch(optionsFor(dir)), msg) << dir;
    }
}

// A resource folder with five .PNG, one .jpg, one .jpeg, two .txt and an unrelated file.
void fillSource(const std::string& dir) {
    kbtest::makeDirs(dir);
    for (int i = 1; i <= 5; ++i) kbtest::writeFile(dir + "shot" + std::to_string(i) + ".PNG", "png" + std::to_string(i));
    kbtest::writeFile(dir + "cover.jpg", "jpg");
    kbtest::writeFile(dir + "wide.JPEG", "jpeg");
    kbtest::writeFile(dir + "info.txt", "info");
    kbtest::writeFile(dir + "readme.TXT", "readme");
    kbtest::writeFile(dir + "notes.doc", "doc");
    kbtest::makeDirs(dir + "sub.png");
}

GameInfo tickedWithFolder(const std::string& name, const std::string& src) {
    GameInfo g = game(name);
    g.ticked = true;
    installCandidates(g, {MatchCandidate{0, "folder", src, 1.0f}}, "精确");
    return g;
}

size_t filesIn(const std::string& dir) {
    std::error_code ec;
    size_t n = 0;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) ++n;
    return n;
}

TEST_F(FolderTest, CopyCases) {
    struct Case {
        int limit;
        bool matchImages, jpg;
        int copied;  // files in the summary and in media/<game>/
    };
    const Case cases[] = {{0, true, true, 9}, {3, true, true, 5}, {0, false, true, 2}, {0, true, false, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.copied);
        TempDir menu, res;
        kbtest::ScopedMenuDir scope(menu.path);
        fillSource(res.path + "Game/");
        dummyGames = {tickedWithFolder("My Game", res.path + "Game")};
        PanelOptions o = optionsFor(res.path);
        o.imageLimitIndex = c.limit;
        o.matchImages = c.matchImages;
        o.imgTypeJpg = c.jpg;
        const std::string msg = copyLocalResources(o);
        EXPECT_EQ(msg, "复制资源完成\n已复制: " + std::to_string(c.copied) + " 个文件\n跳过: 0 个游戏");
        EXPECT_EQ(filesIn(menu.path + "media/My Game"), static_cast<size_t>(c.copied));
        EXPECT_FALSE(kbtest::fileExists(menu.path + "media/My Game/notes.doc"));
        EXPECT_EQ(dummyGames[0].textCount, 2);  // the table shows the new files at once
    }
}

// A link at the target is replaced, never written through.
TEST_F(FolderTest, CopyReplacesALinkAtTheTarget) {
    TempDir menu, res;
    kbtest::ScopedMenuDir scope(menu.path);
    kbtest::makeDirs(res.path + "G");
    kbtest::writeFile(res.path + "G/a.txt", "second");
    kbtest::makeDirs(menu.path + "media/G");
    kbtest::writeFile(menu.path + "outside.txt", "keep");
    fs::create_symlink(menu.path + "outside.txt", menu.path + "media/G/a.txt");
    dummyGames = {tickedWithFolder("G", res.path + "G")};
    EXPECT_EQ(copyLocalResources(optionsFor(res.path)), "复制资源完成\n已复制: 1 个文件\n跳过: 0 个游戏");
    EXPECT_EQ(kbtest::readFile(menu.path + "media/G/a.txt"), "second");
    EXPECT_EQ(kbtest::readFile(menu.path + "outside.txt"), "keep");
    EXPECT_FALSE(fs::is_symlink(menu.path + "media/G/a.txt"));
}

TEST_F(FolderTest, CopyProblems) {
    TempDir menu, res;
    kbtest::ScopedMenuDir scope(menu.path);
    fillSource(res.path + "Good/");
    kbtest::writeFile(res.path + "NotAFolder", "x");

    GameInfo store = game("Store Game");
    store.ticked = true;
    installCandidates(store, {MatchCandidate{620, "Portal 2", "", 0.9f}}, "网络匹配");
    GameInfo none = game("No Match");
    none.ticked = true;
    GameInfo unticked = tickedWithFolder("Unticked", res.path + "Good");
    unticked.ticked = false;
    GameInfo badIndex = tickedWithFolder("Bad Index", res.path + "Good");
    badIndex.selectedCandidate = 5;
    dummyGames = {store,
                  none,
                  unticked,
                  badIndex,
                  tickedWithFolder("../escape", res.path + "Good"),
                  tickedWithFolder("File Game", res.path + "NotAFolder"),
                  tickedWithFolder("Good Game", res.path + "Good")};
    const std::string msg = copyLocalResources(optionsFor(res.path));

    const std::string head = "复制资源完成\n已复制: 9 个文件\n跳过: 5 个游戏\n\n";
    EXPECT_EQ(msg.substr(0, head.size()), head) << msg;
    EXPECT_NE(msg.find("[Store Game] 源目录不存在: \n"), std::string::npos) << msg;
    EXPECT_NE(msg.find("[../escape] " + std::string(kMediaNameRefused) + "\n"), std::string::npos) << msg;
    EXPECT_NE(msg.find("[File Game] 无法读取源目录: " + res.path + "NotAFolder (不是文件夹)\n"), std::string::npos)
        << msg;
    EXPECT_EQ(msg.find("Unticked"), std::string::npos);
    EXPECT_EQ(filesIn(menu.path + "media/Good Game"), 9u);
    EXPECT_FALSE(fs::exists(menu.path + "escape"));
    EXPECT_FALSE(fs::exists(menu.path + "media/Unticked"));
}

}  // namespace
