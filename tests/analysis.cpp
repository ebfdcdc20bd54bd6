// AI answer analysis and category write-back, on real data.db files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>

#include "ai/analysis.h"
#include "ai/requests.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "tests/test_util.h"

using kbtest::DbRow;

namespace {

std::vector<GameInfo> gamesNamed(const std::vector<std::string>& names) {
    std::vector<GameInfo> v;
    int id = 1;
    for (const std::string& n : names) {
        GameInfo g;
        g.id = id++;
        g.name = n;
        v.push_back(g);
    }
    return v;
}

// A menu folder with data.db, loaded into dummyGames, and a whitelist.
struct Menu {
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir scoped{dir.path};
    std::string db = dir.path + "data.db";
    Menu(const std::vector<DbRow>& rows, std::vector<std::string> whitelist) {
        kbtest::makeGamesDb(db, rows);
        loadGamesFromDB();
        gCategoryList = std::move(whitelist);
        forgetDatabaseBackups();
    }
    ~Menu() {
        dummyGames.clear();
        aiPreview.clear();
        gCategoryList.clear();
        forgetDatabaseBackups();
    }
    std::vector<std::string> categories() { return kbtest::queryColumn(db, "SELECT category FROM games ORDER BY id"); }
};

}  // namespace

TEST(Analysis, LinesKeysAndWhitelist) {
    const std::vector<std::string> names = {"塞尔达传说", "Portal 2", "《空洞骑士》", "", "Dup", "dup"};
    const std::vector<std::string> whitelist = {"动作", "冒险", "RPG", "射击 游戏"};
    struct Case {
        const char* what;
        std::string answer;
        std::vector<std::string> previews;  // per row
        AnalysisCounts want;
    };
    const Case cases[] = {
        {"spaces, CR, repeats", "塞尔达传说 = 动作 | 冒险||动作\r\n", {"动作|冒险", "", "", "", "", ""}, {1, 1, 0, 6, false}},
        {"whitelist keyed without case or spacing", "portal2=rpg|射击游戏|\t冒险\t\r",
         {"", "RPG|射击 游戏|冒险", "", "", "", ""}, {1, 1, 0, 6, false}},
        {"brackets ignored on both sides, last line without LF", "空洞骑士=【动作】", {"", "", "动作", "", "", ""},
         {1, 1, 0, 6, false}},
        {"all categories dropped", "塞尔达传说=恐怖|国风", {"", "", "", "", "", ""}, {1, 1, 2, 6, false}},
        {"same game twice: lines counted, later wins", "塞尔达传说=动作\n塞尔达传说=冒险\n",
         {"冒险", "", "", "", "", ""}, {2, 2, 0, 6, false}},
        {"equal keys: the exact name, else the first row", "dup=动作\nDUP=冒险", {"", "", "", "", "冒险", "动作"},
         {2, 2, 0, 6, false}},
        {"an empty name names no game", "=动作\n  =动作", {"", "", "", "", "", ""}, {2, 0, 0, 6, false}},
        {"first '=' splits, unknown game parsed only", "a=b=动作\n未知=动作\n塞尔达传说=b=动作",
         {"", "", "", "", "", ""}, {3, 1, 1, 6, false}},
        {"no '=' anywhere", "好的，这是结果：\n\n```\n", {"", "", "", "", "", ""}, {0, 0, 0, 6, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> previews(names.size(), "stale");
        const AnalysisCounts got = analyzeAiAnswer(c.answer, gamesNamed(names), whitelist, previews);
        EXPECT_EQ(previews, c.previews);
        EXPECT_EQ(got.parsed, c.want.parsed);
        EXPECT_EQ(got.matched, c.want.matched);
        EXPECT_EQ(got.dropped, c.want.dropped);
        EXPECT_EQ(got.gameTotal, c.want.gameTotal);
        EXPECT_EQ(got.invalid, c.want.invalid);
    }
}

// What each outcome tells the user: a failure never reads as a success.
TEST(Analysis, PopupTextsPerOutcome) {
    auto texts = [](const std::vector<PopupLine>& lines) {
        std::string out;
        for (const PopupLine& l : lines) out += l.text + (l.colored ? "!" : "") + "\n";
        return out;
    };
    EXPECT_EQ(texts(analysisPopupLines({0, 0, 0, 5, true})),
              "未检测到有效的 '游戏名=分类' 行。!\n请确认已将 AI 返回的结果粘贴到大文本框。\n");
    EXPECT_EQ(texts(analysisPopupLines({3, 4, 2, 3, false})),
              "解析行数    ：3\n匹配到游戏  ：4 / 3\n白名单外丢弃：2 个分类\n");
    WriteBackCounts nothing, open, backup, locked, some;
    nothing.nothing = true;
    open.openFail = true;
    open.error = "e1";
    backup.backupFail = true;
    backup.backupError = "e2";
    locked.error = "e3";
    some.succeeded = 3;
    some.failed = 2;
    some.failReason = kRowChangedMessage;
    some.backupPath = "/m/data.db.bak";
    const std::pair<WriteBackCounts, std::string> cases[] = {
        {nothing, "没有需要写入的条目。!\nAI分类预览列全部为空，请先生成/粘贴/分析 AI 结果。\n"},
        {open, "无法打开 data.db 或准备 SQL 语句。!\ne1\n"},
        {backup, "无法在写入前备份 data.db，未写入任何内容。!\ne2\n"},
        {locked, "写入失败，data.db 未作任何改动：!\ne3\n"},
        {some, "写入成功：3 个游戏\n写入失败：2 个!\n" + std::string(kRowChangedMessage) + "\n写入前的数据库备份：/m/data.db.bak\n"},
    };
    for (const auto& [counts, want] : cases) EXPECT_EQ(texts(writePopupLines(counts)), want);
}

TEST(Paste, ZeroFillsAndCutsAt65535Bytes) {
    static char box[65536];
    std::memset(box, 'x', sizeof box);
    std::string big(100000, 'a');
    big[65534] = '\xE4';  // a cut may land inside a UTF-8 sequence
    EXPECT_TRUE(pasteIntoPromptBox(box, sizeof box, big));  // the cut is reported
    EXPECT_EQ(gGenMsg, std::string("剪贴板文本已粘贴到大文本框（65535 / 100000 字节）。") + kBoxCutWarning);
    EXPECT_EQ(std::strlen(box), 65535u);
    EXPECT_EQ(box[65535], '\0');
    EXPECT_FALSE(pasteIntoPromptBox(box, sizeof box, "短"));
    EXPECT_STREQ(box, "短");
    for (size_t i = std::strlen("短"); i < sizeof box; ++i) ASSERT_EQ(box[i], '\0') << i;
}

TEST(WriteBack, OverwriteAndAppendModes) {
    struct Case {
        int32_t mode;
        std::string current, preview, want;
    };
    const Case cases[] = {
        {0, "动作|射击", "射击|冒险", "射击|冒险"},
        {1, "动作|射击", "射击|冒险", "动作|射击|冒险"},
        {1, " 动作 |\t射击\r||", "动作|冒险", "动作|射击|冒险"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current + " + " + c.preview);
        Menu m({{1, std::string("A"), c.current, std::nullopt}, {2, std::string("B"), std::string("旧"), std::nullopt}},
               {"动作", "射击", "冒险"});
        aiPreview[0] = c.preview;
        const WriteBackCounts w = writeBackPreviews(c.mode);
        EXPECT_EQ(w.succeeded, 1);
        EXPECT_EQ(m.categories(), (std::vector<std::string>{c.want, "旧"}));
        EXPECT_EQ(dummyGames[0].category, c.want);
        // The same previews are gone: a second press has nothing to write.
        EXPECT_TRUE(writeBackPreviews(c.mode).nothing);
    }
}

TEST(WriteBack, AnalysisThenWriteOnRealFileKeepsBackup) {
    Menu m({{1, std::string("塞尔达传说"), std::string(""), std::nullopt},
            {2, std::string("Portal 2"), std::string("动作"), std::nullopt},
            {3, std::string("空洞骑士"), std::nullopt, std::nullopt}},
           {"动作", "冒险", "RPG"});
    const std::vector<std::string> before = {"", "动作", "<NULL>"};
    auto backupCategories = [&] {
        return kbtest::queryColumn(m.db + ".bak", "SELECT category FROM games ORDER BY id");
    };
    EXPECT_TRUE(writeBackPreviews(0).nothing);  // right after loading
    EXPECT_FALSE(kbtest::fileExists(m.db + ".bak"));

    const auto a = analyzeAiAnswer("塞尔达传说 = 动作 | 冒险\r\nportal 2=rpg\n空洞骑士=恐怖\n");
    EXPECT_EQ(a.matched, 3);
    EXPECT_EQ(a.dropped, 1);
    const WriteBackCounts w = writeBackPreviews(0);
    EXPECT_EQ(w.succeeded, 2);  // 空洞骑士 had only dropped categories
    EXPECT_EQ(w.backupPath, m.db + ".bak");
    EXPECT_EQ(backupCategories(), before);
    EXPECT_EQ(m.categories(), (std::vector<std::string>{"动作|冒险", "RPG", "<NULL>"}));

    // Later writes of the same run leave the first copy alone.
    analyzeAiAnswer("空洞骑士=冒险");
    const WriteBackCounts w2 = writeBackPreviews(1);
    EXPECT_EQ(w2.succeeded, 1);
    EXPECT_EQ(backupCategories(), before);
    EXPECT_EQ(m.categories(), (std::vector<std::string>{"动作|冒险", "RPG", "冒险"}));
}

TEST(WriteBack, MissingOrForeignDatabaseWritesNothing) {
    for (const char* content : {"", "this is not a database, just text\n"}) {
        SCOPED_TRACE(content);
        kbtest::TempDir dir;
        kbtest::ScopedMenuDir scoped(dir.path);
        if (*content) kbtest::writeFile(dir.path + "data.db", content);
        std::vector<GameInfo> games = gamesNamed({"A"});
        std::vector<std::string> previews = {"动作"};
        const WriteBackCounts w = writeBackPreviews(0, games, previews, dir.path + "data.db");
        EXPECT_TRUE(w.openFail);
        EXPECT_EQ(previews[0], "动作");
        EXPECT_EQ(kbtest::fileExists(dir.path + "data.db"), *content != 0);
        EXPECT_FALSE(kbtest::fileExists(dir.path + "data.db.bak"));
        EXPECT_EQ(kbtest::readFile(dir.path + "data.db"), content);  // "" when missing
        EXPECT_EQ(writePopupLines(w).at(1).text, *content ? "不是 SQLite 数据库文件" : "文件不存在或无法打开");
    }
    forgetDatabaseBackups();
}

TEST(WriteBack, BackupThatCannotBeMadeBlocksTheWrite) {
    Menu m({{1, std::string("A"), std::string("旧"), std::nullopt}}, {"动作"});
    kbtest::makeDirs(m.db + ".bak.tmp/inside");  // the temporary copy cannot be created
    kbtest::makeDirs(m.db + ".bak/inside");      // nor can an existing copy be replaced
    aiPreview[0] = "动作";
    const WriteBackCounts w = writeBackPreviews(0);
    EXPECT_TRUE(w.backupFail);
    EXPECT_EQ(w.succeeded + w.failed, 0);
    EXPECT_EQ(m.categories(), std::vector<std::string>{"旧"});
    EXPECT_EQ(aiPreview[0], "动作");
}

// Another program holds a write transaction on data.db for the whole write-back: the press
// fails as a whole after the busy wait, the file stays intact, and the previews remain.
TEST(WriteBack, LockedDatabaseFailsThePressAndCorruptsNothing) {
    Menu m({{1, std::string("A"), std::string("旧A"), std::nullopt}, {2, std::string("B"), std::string("旧B"), std::nullopt}},
           {"动作"});
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(m.db.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE; UPDATE games SET name='held' WHERE id=2;", nullptr, nullptr, nullptr),
              SQLITE_OK);
    aiPreview = {"动作", "动作"};
    const WriteBackCounts w = writeBackPreviews(0);
    EXPECT_EQ(w.succeeded + w.failed, 0);
    EXPECT_EQ(aiPreview, (std::vector<std::string>{"动作", "动作"}));
    EXPECT_EQ(dummyGames[0].category, "旧A");
    EXPECT_EQ(writePopupLines(w).at(0).text, "写入失败，data.db 未作任何改动：");
    ASSERT_EQ(sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(holder);

    EXPECT_EQ(kbtest::queryColumn(m.db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_EQ(kbtest::queryColumn(m.db + ".bak", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_EQ(m.categories(), (std::vector<std::string>{"旧A", "旧B"}));
    // Once the other writer is gone the kept previews go through.
    const WriteBackCounts again = writeBackPreviews(0);
    EXPECT_EQ(again.succeeded, 2);
    EXPECT_EQ(m.categories(), (std::vector<std::string>{"动作", "动作"}));
}
