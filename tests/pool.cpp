// The translated title pool from kbdata.csv (UTF-8 or GBK) and the encrypted kbdata.db.
#include "match/pool.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>

#include "tests/test_util.h"

namespace {

using kbtest::TempDir;

std::string show(const std::vector<PoolItem>& pool) {
    std::string s;
    for (const PoolItem& p : pool) s += std::to_string(p.appid) + "," + p.name + "," + p.name_cn + "," + p.nickname + ";";
    return s;
}

TEST(Pool, Csv) {
    const std::string header = "appid,name,name_cn,nickname\n";
    struct Case {
        std::string content, want;  // content "": no file; want: the pool, or the error when loading fails
        bool ok, gbk = false;
    };
    const Case cases[] = {
        {"", "无法打开: ", false},
        {header + "0,a,b,c\nx,y\n", "CSV 内容为空或解析失败", false},
        {"\xEF\xBB\xBF" + header + "10,Counter-Strike,反恐精英,cs\r\n\r\n20,Team Fortress,,\r\n",
         "10,Counter-Strike,反恐精英,cs;20,Team Fortress,,;", true},
        {header + "1245620,ELDEN RING,\xB0\xAC\xB6\xFB\xB5\xC7\xB7\xA8\xBB\xB7,\xC0\xCF\xCD\xB7\xBB\xB7\n",
         "1245620,ELDEN RING,艾尔登法环,老头环;", true, true},
        {header + "9,\"Half-Life: Source, GOTY\",半条命,\n11,\"The \"\"Best\"\" Game\",,\n12,Only,Three\n",
         "9,Half-Life: Source, GOTY,半条命,;11,The \"Best\" Game,,;", true},
        {header + "  15xyz,Fifteen,,\n-17,Neg,,\nabc,N,n,n\n99999999999,Big,,\n", "15,Fifteen,,;2147483647,Big,,;", true},
        {header + "19,\"A\"x,B,C,D\n24,N,C,\"nick, name", "19,A,x,B;24,N,C,nick, name;", true},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (!c.content.empty()) kbtest::writeFile(dir.path + "kbdata.csv", c.content);
        std::vector<PoolItem> pool = {{1, "stale", "", ""}};
        std::string err, note;
        EXPECT_EQ(loadTranslatedCsv(dir.path + "kbdata.csv", pool, err, &note), c.ok) << c.content;
        EXPECT_EQ(c.ok ? show(pool) : err.substr(0, c.want.size()), c.want) << c.content;
        EXPECT_EQ(note.empty(), !c.gbk) << note;
    }
}

void makePoolDb(const std::string& path, const char* key, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_key(db, key, static_cast<int>(strlen(key))), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST(Pool, EncryptedDatabase) {
    const std::string table = "CREATE TABLE games (appid INTEGER, name TEXT, name_cn TEXT, nickname TEXT, source TEXT);";
    const std::string rows =
        "INSERT INTO games (appid, name, name_cn, nickname) VALUES (10,'Counter-Strike','反恐精英','cs'),"
        "(20,'Portal',NULL,NULL),(0,'Zero','',''),(-3,'Neg','',''),(NULL,'NullId','',''),(30,NULL,'名','n');";
    struct Case {
        const char* key;
        std::string sql, want;  // sql "": no file
        bool ok;
    };
    const Case cases[] = {
        {kPoolDbKey, "", "无法打开数据库: ", false},  // and none is created
        {kPoolDbKey, table + rows, "10,Counter-Strike,反恐精英,cs;20,Portal,,;30,,名,n;", true},
        {"other", table + rows, "准备SQL失败: file is not a database", false},  // a wrong key
        {kPoolDbKey, table + "INSERT INTO games (appid) VALUES (0);", "数据库内容为空", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (!c.sql.empty()) makePoolDb(dir.path + "kbdata.db", c.key, c.sql);
        std::vector<PoolItem> pool = {{1, "stale", "", ""}};
        std::string err;
        EXPECT_EQ(loadTranslatedDb(dir.path + "kbdata.db", pool, err), c.ok) << err;
        EXPECT_EQ(c.ok ? show(pool) : err.substr(0, c.want.size()), c.want) << err;
        EXPECT_EQ(kbtest::fileExists(dir.path + "kbdata.db"), !c.sql.empty());
    }
}

}  // namespace
