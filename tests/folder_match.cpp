// The folder match and the copy of the chosen folders into media/<game>/, on real folders; and
// the other tests that need POSIX file kinds and permissions (pipes, sockets, devices, root
// dropping its privileges), which Windows does not have.
#include "match/folder_match.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <tuple>

#include "ai/analysis.h"
#include "data/files.h"
#include "data/game.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "match/rules.h"
#include "tests/net_servers.h"
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

using FolderTest = kbtest::JobTest;

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

TEST_F(FolderTest, CopyOptionsAndProblems) {
    struct Case {
        int limit;
        bool matchImages, jpg;
        int copied;    // files in media/Good Game/
        bool subLine;  // the folder sub.png is taken, and reported as no file
    };
    const Case cases[] = {
        {0, true, true, 9, true}, {3, true, true, 5, false}, {0, false, true, 2, false}, {0, true, false, 7, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.copied);
        TempDir menu, res;
        kbtest::ScopedMenuDir scope(menu.path);
        fillSource(res.path + "Good/");
        kbtest::writeFile(res.path + "NotAFolder", "x");
        // A link at a target is replaced, never written through.
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
                                             "\n[File Game] 无法读取源目录: " + res.path + "NotAFolder（不是文件夹）\n" +
                                             (c.subLine ? "[Good Game] 复制失败: 不是普通文件 path=" + res.path +
                                                              "Good/sub.png（文件夹）\n"
                                                        : ""));
        EXPECT_EQ(kbtest::filesIn(menu.path + "media/Good Game").size(), static_cast<size_t>(c.copied));
        EXPECT_EQ(dummyGames[5].textCount, 2);  // the table shows the new files at once
        EXPECT_EQ(kbtest::filesIn(menu.path + "media").size(), 2u);
        EXPECT_FALSE(fs::exists(menu.path + "escape"));
        EXPECT_EQ(kbtest::readFile(menu.path + "media/G/a.txt"), "second");
        EXPECT_EQ(kbtest::readFile(menu.path + "outside.txt"), "keep");
        EXPECT_FALSE(fs::is_symlink(menu.path + "media/G/a.txt"));
    }
}

// A pipe, a socket and a device named like pictures are reported and skipped without waiting
// for them; two rows of one name share one copy and both show its files.
TEST_F(FolderTest, CopyTakesRegularFilesOnceForEachName) {
    TempDir menu, res;
    kbtest::ScopedMenuDir scope(menu.path);
    const std::string src = res.path + "Twin/";
    kbtest::writeFile(src + "a.txt", "text");
    ASSERT_EQ(::mkfifo((src + "cover.jpg").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (src + "sock.png").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    fs::create_symlink("/dev/zero", src + "zero.jpg");  // endless to read
    EXPECT_EQ(openFileUtf8(src + "cover.jpg", "rb"), nullptr);  // the opening alone never waits either

    dummyGames = {game("Twin", src, true), game("Other"), game("Twin", res.path + "Missing", true), game("Twin")};
    EXPECT_EQ(copyLocalResources(optionsFor(res.path)),
              "复制资源完成\n已复制: 1 个文件\n跳过: 0 个游戏\n\n[Twin] 复制失败: 不是普通文件 path=" + src +
                  "cover.jpg（命名管道）\n[Twin] 复制失败: 不是普通文件 path=" + src +
                  "sock.png（套接字）\n[Twin] 复制失败: 不是普通文件 path=" + src + "zero.jpg（设备文件）\n");
    ::close(sock);
    EXPECT_EQ(kbtest::filesIn(menu.path + "media/Twin").size(), 1u);
    for (size_t r : {0u, 2u, 3u}) EXPECT_EQ(std::pair(dummyGames[r].imageCount, dummyGames[r].textCount), std::pair(0, 1)) << r;
    EXPECT_EQ(dummyGames[1].textCount, -1);
}

// Root ignores permission bits: the scope runs as nobody, so a protection holds as it does for
// a user.
struct AsNobody {
    AsNobody() { EXPECT_EQ(::geteuid() != 0 || ::seteuid(65534) == 0, true); }
    ~AsNobody() { EXPECT_EQ(::getuid() != 0 || ::seteuid(0) == 0, true); }
};

// A data.db that cannot be written fails the whole press with one reason, before any copy.
TEST(WriteBack, WriteProtectedMenuWritesNothing) {
    struct Case {
        const char* what;
        fs::perms dir, file;
        std::string why;
    };
    const fs::perms all = fs::perms::all, readable = fs::perms::owner_read | fs::perms::group_read |
                                                     fs::perms::others_read;
    const fs::perms listable = readable | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    const Case cases[] = {
        {"read-only file", all, readable, "数据库文件只读"},
        {"read-only folder", listable, all, "数据库所在的文件夹只读，无法创建日志文件"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir menu;
        kbtest::ScopedMenuDir scope(menu.path);
        const std::string db = menu.path + "data.db";
        kbtest::makeGamesDb(db, {{1, "A", "旧"}});
        loadGamesFromDB();
        aiPreview = {"动作"};
        const std::string bytes = kbtest::readFile(db);
        fs::permissions(db, c.file);
        fs::permissions(menu.path, c.dir);
        std::vector<PopupLine> popup;
        {
            AsNobody nobody;
            popup = writePopupLines(writeBackPreviews(0));
        }
        ASSERT_EQ(popup.size(), 2u);
        EXPECT_EQ(popup[0].text, "data.db 无法写入，未写入任何内容。");
        EXPECT_EQ(popup[1].text, c.why);
        EXPECT_FALSE(kbtest::fileExists(db + ".bak"));
        EXPECT_EQ(kbtest::readFile(db), bytes);
        EXPECT_EQ(aiPreview, std::vector<std::string>{"动作"});
        fs::permissions(menu.path, fs::perms::owner_all, fs::perm_options::add);
    }
    dummyGames.clear();
    aiPreview.clear();
}

}  // namespace
