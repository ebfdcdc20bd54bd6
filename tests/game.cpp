// Menu database: loading games and writing categories back, on real files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "data/game.h"
#include "tests/test_util.h"

TEST(LoadGames, UnreadableFileSaysWhyAndIsNeverCreated) {
    struct Case {
        const char* name;
        const char* content;  // nullptr: no file; "CREATE...": made by SQLite
        std::string why;
    };
    const Case cases[] = {
        {"missing", nullptr, "文件不存在或无法打开"},
        {"empty file", "", "缺少 games 表"},
        {"not a database", "this is not a database, just text\n", "不是 SQLite 数据库文件"},
        {"no category column", "CREATE TABLE games (id INTEGER, name TEXT, icon BLOB)", "games 表缺少 category 列"},
    };
    kbtest::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string db = dir.path + c.name + ".db";
        if (c.content && std::string(c.content).rfind("CREATE", 0) == 0) kbtest::execSql(db, c.content);
        else if (c.content) kbtest::writeFile(db, c.content);
        dummyGames.assign(5, GameInfo{});
        EXPECT_EQ(loadGamesFromDB(db), "data.db 无法读取：" + c.why);
        EXPECT_TRUE(dummyGames.empty());
        EXPECT_TRUE(aiPreview.empty());
        EXPECT_EQ(kbtest::fileExists(db), c.content != nullptr);
    }
    // The menu in the middle of a write, holding the file even against readers.
    const std::string db = dir.path + "held.db";
    kbtest::makeGamesDb(db, {{1, "A", ""}});
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE; UPDATE games SET name='x';", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(loadGamesFromDB(db), "data.db 无法读取：数据库文件正被其他程序（如菜单）使用，等待 3 秒后仍未释放");
    sqlite3_close(holder);
    EXPECT_EQ(loadGamesFromDB(db), "");
    EXPECT_EQ(dummyGames.size(), 1u);
}

TEST(WriteCategories, NamesRowsByIdAndName) {
    // A menu holding the file is tested with the write-back (tests/analysis.cpp).
    // The menu changed the file after loading: 空洞骑士 (id 1) was deleted and its id reused,
    // id 7 is repeated, and some ids are 64-bit, NULL or text.
    const char* kMenu =
        "CREATE TABLE games (id INTEGER, name TEXT, category TEXT, icon BLOB);"
        "INSERT INTO games VALUES (1,'双人成行','旧',NULL),(7,'A','旧',NULL),(7,'B','旧',NULL),"
        "(4294967297,'Big','旧',NULL),(NULL,'无编号','旧',NULL),('x','文字编号','旧',NULL),(2,NULL,'旧',NULL);";
    const std::vector<CategoryUpdate> updates = {{1, "空洞骑士", "动作"}, {7, "B", "冒险"}, {4294967297, "Big", "射击"},
                                                 {0, "无编号", "策略"},  {0, "文字编号", "策略"}, {2, "", "模拟"},
                                                 {99, "已删除", "动作"}};
    kbtest::TempDir dir;
    const std::string db = dir.path + "data.db";
    kbtest::execSql(db, kMenu);
    const CategoryWriteResult r = writeCategories(updates, db);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.ok, (std::vector<bool>{false, true, true, false, false, true, false}));
    EXPECT_EQ(r.rowError, kRowChangedMessage);
    EXPECT_EQ(kbtest::queryColumn(db, "SELECT category FROM games ORDER BY rowid"),
              (std::vector<std::string>{"旧", "旧", "冒险", "射击", "旧", "旧", "模拟"}));
}
