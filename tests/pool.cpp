#include "match/pool.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "tests/test_util.h"

namespace {

using kbtest::TempDir;

struct CsvCase {
    const char* label;
    std::string content;
    bool ok;
    std::vector<PoolItem> expect;  // when ok
    std::string err;               // when !ok
    bool gbk = false;              // read as GBK, which the note says
};

bool samePool(const std::vector<PoolItem>& a, const std::vector<PoolItem>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].appid != b[i].appid || a[i].name != b[i].name || a[i].name_cn != b[i].name_cn ||
            a[i].nickname != b[i].nickname)
            return false;
    return true;
}

TEST(PoolCsv, Cases) {
    const std::string header = "appid,name,name_cn,nickname\n";
    const std::vector<CsvCase> cases = {
        {"header only", header, false, {}, "CSV 内容为空或解析失败"},
        {"empty file", "", false, {}, "CSV 内容为空或解析失败"},
        {"plain rows, CR LF", header + "10,Counter-Strike,反恐精英,cs\r\n20,Team Fortress,,\r\n", true,
         {{10, "Counter-Strike", "反恐精英", "cs"}, {20, "Team Fortress", "", ""}}, ""},
        {"BOM header", "\xEF\xBB\xBF" + header + "5,A,B,C\n", true, {{5, "A", "B", "C"}}, ""},
        {"GBK file", header + "1245620,ELDEN RING,\xB0\xAC\xB6\xFB\xB5\xC7\xB7\xA8\xBB\xB7,\xC0\xCF\xCD\xB7\xBB\xB7\n", true,
         {{1245620, "ELDEN RING", "艾尔登法环", "老头环"}}, "", true},
        {"empty first line is the header", "\n7,Seven,七,\n", true, {{7, "Seven", "七", ""}}, ""},
        {"empty lines skipped", header + "\n\n8,Eight,八,e\n\n", true, {{8, "Eight", "八", "e"}}, ""},
        {"quoted comma and colon", header + "9,\"Half-Life: Source, GOTY\",半条命,\n", true,
         {{9, "Half-Life: Source, GOTY", "半条命", ""}}, ""},
        {"doubled quotes", header + "11,\"The \"\"Best\"\" Game\",,\n", true, {{11, "The \"Best\" Game", "", ""}}, ""},
        {"three fields skipped", header + "12,Only,Three\n13,Four,四,x\n", true, {{13, "Four", "四", "x"}}, ""},
        {"word appid skipped", header + "abc,Name,名,n\n14,Ok,好,\n", true, {{14, "Ok", "好", ""}}, ""},
        {"atoi prefix and blanks", header + "  15xyz,Fifteen,,\n+16,Sixteen,,\n-17,Neg,,\n0,Zero,,\n", true,
         {{15, "Fifteen", "", ""}, {16, "Sixteen", "", ""}}, ""},
        {"fifth field ignored, empty nickname", header + "18,Name,名,,steam\n", true, {{18, "Name", "名", ""}}, ""},
        {"text after closing quote is its own field", header + "19,\"A\"x,B,C,D\n", true, {{19, "A", "x", "B"}}, ""},
        {"trailing comma ends an empty nickname", header + "20,A,B,\n21,A,B,C,\n22,A,\"B\",\n", true,
         {{20, "A", "B", ""}, {21, "A", "B", "C"}, {22, "A", "B", ""}}, ""},
        {"unterminated quote takes the rest", header + "24,N,C,\"nick, name\n", true, {{24, "N", "C", "nick, name"}}, ""},
        {"only bad rows", header + "0,a,b,c\nx,y\n", false, {}, "CSV 内容为空或解析失败"},
        {"last line without newline", header + "23,Last,末,l", true, {{23, "Last", "末", "l"}}, ""},
        {"huge appid saturates", header + "99999999999,Big,,\n", true, {{2147483647, "Big", "", ""}}, ""},
    };
    for (const CsvCase& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string path = dir.path + "kbdata.csv";
        kbtest::writeFile(path, c.content);
        std::vector<PoolItem> pool = {{1, "stale", "", ""}};
        std::string err = "untouched";
        std::string note;
        const bool ok = loadTranslatedCsv(path, pool, err, &note);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(note.empty(), !c.gbk) << note;
        if (c.ok) {
            EXPECT_EQ(err, "untouched");
            EXPECT_TRUE(samePool(pool, c.expect)) << "got " << pool.size() << " entries";
        } else {
            EXPECT_EQ(err, c.err);
            EXPECT_TRUE(pool.empty());
        }
    }
}

TEST(PoolCsv, MissingFileKeepsPool) {
    TempDir dir;
    std::vector<PoolItem> pool = {{1, "kept", "", ""}};
    std::string err;
    EXPECT_FALSE(loadTranslatedCsv(dir.path + "none.csv", pool, err));
    EXPECT_EQ(err, "无法打开: " + dir.path + "none.csv");
    ASSERT_EQ(pool.size(), 1u);
    EXPECT_EQ(pool[0].name, "kept");
}

// Database fixtures are written at run time through the same SQLCipher library, with the
// version 4 defaults made explicit.
struct DbRow {
    std::optional<int> appid;
    std::optional<std::string> name, name_cn, nickname;
};

void exec(sqlite3* db, const std::string& sql) {
    char* e = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &e), SQLITE_OK) << (e ? e : "");
}

void bindOpt(sqlite3_stmt* st, int i, const std::optional<std::string>& v) {
    if (v) sqlite3_bind_text(st, i, v->c_str(), -1, SQLITE_TRANSIENT);
    else sqlite3_bind_null(st, i);
}

void makePoolDb(const std::string& path, const char* key, const std::string& schema, const std::vector<DbRow>& rows) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    if (key) {
        ASSERT_EQ(sqlite3_key(db, key, static_cast<int>(strlen(key))), SQLITE_OK);
        exec(db, "PRAGMA cipher_compatibility = 4;");
    }
    exec(db, schema);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO games (appid, name, name_cn, nickname) VALUES (?,?,?,?)", -1, &st,
                           nullptr) == SQLITE_OK) {
        for (const DbRow& r : rows) {
            sqlite3_reset(st);
            if (r.appid) sqlite3_bind_int(st, 1, *r.appid);
            else sqlite3_bind_null(st, 1);
            bindOpt(st, 2, r.name);
            bindOpt(st, 3, r.name_cn);
            bindOpt(st, 4, r.nickname);
            ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
}

const std::string kSchema = "CREATE TABLE games (appid INTEGER, name TEXT, name_cn TEXT, nickname TEXT, source TEXT);";

TEST(PoolDb, Cases) {
    struct DbCase {
        const char* label;
        const char* key;  // nullptr = plain SQLite file
        std::string schema;
        std::vector<DbRow> rows;
        bool ok;
        std::vector<PoolItem> expect;
        std::string errPrefix;
    };
    const std::vector<DbCase> cases = {
        {"encrypted with the built-in key", kPoolDbKey, kSchema,
         {{10, "Counter-Strike", "反恐精英", "cs"}, {20, "Portal", std::nullopt, std::nullopt}, {0, "Zero", "", ""},
          {-3, "Neg", "", ""}, {std::nullopt, "NullId", "", ""}, {30, std::nullopt, "名", "n"}},
         true,
         {{10, "Counter-Strike", "反恐精英", "cs"}, {20, "Portal", "", ""}, {30, "", "名", "n"}},
         ""},
        {"wrong key", "not-the-right-key", kSchema, {{10, "A", "", ""}}, false, {}, "准备SQL失败: "},
        {"plain unencrypted file", nullptr, kSchema, {{10, "A", "", ""}}, false, {}, "准备SQL失败: "},
        {"no games table", kPoolDbKey, "CREATE TABLE other (x INTEGER);", {}, false, {}, "准备SQL失败: "},
        {"missing column", kPoolDbKey, "CREATE TABLE games (appid INTEGER, name TEXT, name_cn TEXT);", {}, false, {},
         "准备SQL失败: "},
        {"no usable row", kPoolDbKey, kSchema, {{0, "Zero", "", ""}}, false, {}, "数据库内容为空"},
    };
    for (const DbCase& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string path = dir.path + "kbdata.db";
        makePoolDb(path, c.key, c.schema, c.rows);
        if (c.key) {
            EXPECT_NE(kbtest::readFile(path).substr(0, 15), "SQLite format 3");
        }
        std::vector<PoolItem> pool = {{1, "stale", "", ""}};
        std::string err = "untouched";
        const bool ok = loadTranslatedDb(path, pool, err);
        EXPECT_EQ(ok, c.ok) << err;
        if (c.ok) {
            EXPECT_EQ(err, "untouched");
            EXPECT_TRUE(samePool(pool, c.expect));
        } else {
            EXPECT_EQ(err.rfind(c.errPrefix, 0), 0u) << err;
            if (c.errPrefix == "准备SQL失败: ") {
                EXPECT_GT(err.size(), c.errPrefix.size());  // SQLite's own message follows
                EXPECT_EQ(pool.size(), 1u);                  // unchanged
            } else {
                EXPECT_TRUE(pool.empty());
            }
        }
    }
}

// Files written by the Linux build (SQLCipher on OpenSSL) must read alike in every build (the
// Windows one uses LibTomCrypt). KB_REGENERATE_POOL_FIXTURES=1 makes the Linux build rewrite them.
TEST(PoolDb, FilesWrittenByTheLinuxBuild) {
    const std::string dir = KB_TEST_DATA_DIR "/local/";
    if (std::getenv("KB_REGENERATE_POOL_FIXTURES")) {
        for (const auto& [file, key] : {std::pair{"kbdata_linux.db", kPoolDbKey}, {"kbdata_linux_other_key.db", "other"}}) {
            std::remove((dir + file).c_str());
            makePoolDb(dir + file, key, kSchema, {{10, "Counter-Strike", "反恐精英", "cs"}, {20, "Portal", "传送门", ""}});
        }
    }
    std::vector<PoolItem> pool;
    std::string err;
    EXPECT_TRUE(loadTranslatedDb(dir + "kbdata_linux.db", pool, err)) << err;
    EXPECT_TRUE(samePool(pool, {{10, "Counter-Strike", "反恐精英", "cs"}, {20, "Portal", "传送门", ""}}));
    EXPECT_FALSE(loadTranslatedDb(dir + "kbdata_linux_other_key.db", pool, err));
    EXPECT_EQ(err, "准备SQL失败: file is not a database");
}

TEST(PoolDb, MissingFileIsNotCreated) {
    TempDir dir;
    const std::string path = dir.path + "kbdata.db";
    std::vector<PoolItem> pool;
    std::string err;
    EXPECT_FALSE(loadTranslatedDb(path, pool, err));
    EXPECT_EQ(err, "无法打开数据库: " + path);
    EXPECT_FALSE(kbtest::fileExists(path));
}

}  // namespace
