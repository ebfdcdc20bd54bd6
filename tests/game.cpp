// Menu database: loading games and writing categories back, on real files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "data/game.h"
#include "tests/test_util.h"

using kbtest::DbRow;

TEST(LoadGames, ReadsRowsInIdOrderWithNullsAndIcons) {
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir menu(dir.path);
    kbtest::makeGamesDb(dir.path + "data.db",
                        {{3, std::string("黑神话：悟空"), std::string("动作|冒险"), std::string("\x89PNG", 4)},
                         {1, std::nullopt, std::nullopt, std::nullopt},
                         {2, std::string("Portal 2"), std::string(""), std::string("")}});
    loadGamesFromDB();
    ASSERT_EQ(dummyGames.size(), 3u);
    ASSERT_EQ(aiPreview.size(), 3u);
    struct Want { int id; const char* name; const char* cat; bool icon; };
    const Want want[] = {{1, "", "", false}, {2, "Portal 2", "", false}, {3, "黑神话：悟空", "动作|冒险", true}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const GameInfo& g = dummyGames[i];
        EXPECT_EQ(g.id, want[i].id);
        EXPECT_EQ(g.name, want[i].name);
        EXPECT_EQ(g.category, want[i].cat);
        EXPECT_EQ(g.hasIcon, want[i].icon);
        EXPECT_EQ(g.imageCount, -1);
        EXPECT_EQ(g.textCount, -1);
        EXPECT_TRUE(g.candidates.empty());
        EXPECT_EQ(aiPreview[i], "");
    }
}

TEST(LoadGames, MissingFileOrTableGivesEmptyListsAndReloadReplaces) {
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir menu(dir.path);
    dummyGames.assign(5, GameInfo{});
    aiPreview.assign(5, "x");
    loadGamesFromDB();  // no data.db: opening creates an empty file, the query fails
    EXPECT_TRUE(dummyGames.empty());
    EXPECT_TRUE(aiPreview.empty());

    kbtest::writeFile(dir.path + "data.db", "");
    kbtest::queryColumn(dir.path + "data.db", "SELECT 1");
    loadGamesFromDB();
    EXPECT_TRUE(dummyGames.empty());

    std::remove((dir.path + "data.db").c_str());
    kbtest::makeGamesDb(dir.path + "data.db", {{1, std::string("A"), std::nullopt, std::nullopt}});
    loadGamesFromDB();
    ASSERT_EQ(dummyGames.size(), 1u);
    dummyGames[0].matchedName = "stale";
    aiPreview[0] = "stale";
    loadGamesFromDB();
    EXPECT_EQ(dummyGames[0].matchedName, "");
    EXPECT_EQ(aiPreview[0], "");
}

TEST(WriteCategories, UpdatesEachPairAndReportsFailures) {
    kbtest::TempDir dir;
    const std::string db = dir.path + "data.db";
    kbtest::makeGamesDb(db, {{1, std::string("A"), std::string("旧"), std::nullopt},
                             {2, std::string("B"), std::nullopt, std::nullopt}});
    const std::string withNul("动作\0尾巴", 13);
    CategoryWriteResult r = writeCategories({{1, "动作|冒险"}, {99, "不存在"}, {2, withNul}}, db);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.succeeded, 3);  // an id that no longer exists still finishes with SQLITE_DONE
    EXPECT_EQ(r.failed, 0);
    EXPECT_EQ(kbtest::queryColumn(db, "SELECT category FROM games ORDER BY id"),
              (std::vector<std::string>{"动作|冒险", "动作"}));
}

TEST(WriteCategories, MissingDatabaseOrTableIsOneFailureAndCreatesNothing) {
    kbtest::TempDir dir;
    CategoryWriteResult r = writeCategories({{1, "x"}}, dir.path + "data.db");
    EXPECT_FALSE(r.opened);
    EXPECT_FALSE(kbtest::fileExists(dir.path + "data.db"));
}

TEST(WriteCategories, LockedDatabaseCountsFailuresAndKeepsData) {
    // A writer holding the file: the updates fail after the busy timeout; an exclusive
    // holder already blocks the prepare. Either way nothing is written or corrupted.
    struct Case { const char* lock; bool opened; int failed; };
    for (const Case& c : {Case{"BEGIN IMMEDIATE", true, 2}, Case{"BEGIN EXCLUSIVE", false, 0}}) {
        SCOPED_TRACE(c.lock);
        kbtest::TempDir dir;
        const std::string db = dir.path + "data.db";
        kbtest::makeGamesDb(db, {{1, std::string("A"), std::string("旧"), std::nullopt}});
        sqlite3* holder = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(holder, c.lock, nullptr, nullptr, nullptr), SQLITE_OK);
        CategoryWriteResult r = writeCategories({{1, "新"}, {1, "新2"}}, db);
        EXPECT_EQ(r.opened, c.opened);
        EXPECT_EQ(r.failed, c.failed);
        EXPECT_EQ(r.succeeded, 0);
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        EXPECT_EQ(kbtest::queryColumn(db, "SELECT category FROM games"), (std::vector<std::string>{"旧"}));
        EXPECT_EQ(kbtest::queryColumn(db, "PRAGMA integrity_check"), (std::vector<std::string>{"ok"}));
    }
}

TEST(MatchFields, InstallAndClearKeepTheInvariant) {
    GameInfo g;
    installCandidates(g, {{570, "Dota 2", "", 0.9f}, {10, "Counter-Strike", "", 0.5f}}, "网络匹配");
    EXPECT_EQ(g.matchedName, "Dota 2");
    EXPECT_FLOAT_EQ(g.similarity, 0.9f);
    EXPECT_EQ(chosenAppid(g), 570);
    g.selectedCandidate = 5;
    EXPECT_EQ(chosenAppid(g), 0);
    clearMatch(g);
    EXPECT_EQ(g.matchMethod, "");
    EXPECT_EQ(g.similarity, 0.0f);
    EXPECT_EQ(chosenAppid(g), 0);
}
