// AI answer analysis and category write-back, on real data.db files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "ai/analysis.h"
#include "data/game.h"
#include "data/ini.h"
#include "data/jobs.h"
#include "data/utf8.h"
#include "tests/test_util.h"

namespace {

// A menu folder with data.db (games named by id 1..n), loaded into dummyGames, and a whitelist.
// Each has a path of its own, so the write-back's memory of copies made needs no reset.
struct Menu {
    kbtest::TempDir dir;
    kbtest::ScopedMenuDir scoped{dir.path};
    std::string db = dir.path + "data.db";
    Menu(const std::vector<std::optional<std::string>>& names, const std::vector<std::optional<std::string>>& cats,
         std::vector<std::string> whitelist) {
        std::vector<kbtest::DbRow> rows;
        for (size_t i = 0; i < names.size(); ++i) rows.push_back({static_cast<int64_t>(i) + 1, names[i], cats[i]});
        kbtest::makeGamesDb(db, rows);
        loadGamesFromDB();
        gCategoryList = std::move(whitelist);
    }
    ~Menu() {
        dummyGames.clear();
        aiPreview.clear();
        gCategoryList.clear();
    }
    std::vector<std::string> categories(const std::string& file) {
        return kbtest::queryColumn(file, "SELECT category FROM games ORDER BY id");
    }
};

}  // namespace

// The answer goes the user's way: pasted into the 64 KB box, then analysed.
TEST(Analysis, PastedAnswerToPreviews) {
    Menu m({"塞尔达传说", "Portal 2", "《空洞骑士》", "", "Dup", "dup"}, std::vector<std::optional<std::string>>(6),
           {"动作", "冒险", "RPG", "射击 游戏"});
    struct Case {
        const char* what;
        std::string answer;
        std::vector<std::string> previews;  // per row
        std::tuple<int, int, int, bool> counts;  // parsed, matched, dropped, invalid
    };
    // The box holds 65535 bytes: the cut goes before 中, which does not fit whole, and the last
    // line is lost. What the
    // later, shorter answers leave of it would count "Dup" again unless the box is cleared.
    const std::string cut = std::string(40000, 'x') + "\nDup=动作\n" + std::string(25522, 'y') + "中\nPortal 2=RPG";
    const Case cases[] = {
        {"what does not fit the box is lost", cut, {"", "", "", "", "动作", ""}, {1, 1, 0, false}},
        {"blanks, CR, a category kept once where first named", "塞尔达传说 = 动作 | 冒险||动作\r\n",
         {"动作|冒险", "", "", "", "", ""}, {1, 1, 0, false}},
        {"whitelist keyed without case, spacing or brackets", "portal2=rpg|射击游戏|\t冒险\t\r\n空洞骑士=【动作】",
         {"", "RPG|射击 游戏|冒险", "动作", "", "", ""}, {2, 2, 0, false}},
        {"same game twice: the later line wins, even when all is dropped", "塞尔达传说=动作\n塞尔达传说=恐怖|国风",
         {"", "", "", "", "", ""}, {2, 2, 2, false}},
        {"equal keys: the byte-equal name, else the first row", "dup=动作\nDUP=冒险", {"", "", "", "", "冒险", "动作"},
         {2, 2, 0, false}},
        {"an empty name names no game, the first '=' splits, unknown games are only parsed",
         "=动作\n  =动作\na=b=动作\n未知=动作\n塞尔达传说=b=动作", {"", "", "", "", "", ""}, {5, 1, 1, false}},
        {"no '=' anywhere", "好的，这是结果：\n\n```\n", {"", "", "", "", "", ""}, {0, 0, 0, true}},
    };
    static char box[65536];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pasteIntoPromptBox(box, sizeof box, c.answer), c.answer.size() >= sizeof box);
        EXPECT_TRUE(isValidUtf8(box));
        if (c.answer.size() >= sizeof box) {
            EXPECT_EQ(gGenMsg, "剪贴板文本已粘贴到大文本框（65534 / 65550 字节）。" + std::string(kPasteCutWarning));
        }
        const AnalysisCounts got = analyzeAiAnswer(box);
        EXPECT_EQ(aiPreview, c.previews);
        EXPECT_EQ(std::tuple(got.parsed, got.matched, got.dropped, got.invalid), c.counts);
        EXPECT_EQ(analysisPopupLines(got).at(0).colored, got.invalid);  // a failure never reads as a result
    }
}

// The copy made before the first write of a run (追加, then 覆盖) keeps the state before it.
TEST(WriteBack, FirstWriteKeepsABackup) {
    Menu m({"塞尔达传说", "Portal 2"}, {"", " 动作 |\t射击\r||"}, {"动作", "冒险", "射击"});
    EXPECT_EQ(writePopupLines(writeBackPreviews(0)).at(0).text, "没有需要写入的条目。");  // and no copy either
    EXPECT_FALSE(kbtest::fileExists(m.db + ".bak"));

    analyzeAiAnswer("portal 2=冒险|动作");
    EXPECT_EQ(writeBackPreviews(1).backupPath, m.db + ".bak");  // 追加 onto untidy categories
    EXPECT_EQ(m.categories(m.db), (std::vector<std::string>{"", "动作|射击|冒险"}));

    // The menu renamed a game since loading: that row fails and keeps its preview.
    analyzeAiAnswer("塞尔达传说=动作\nportal 2=射击");
    kbtest::execSql(m.db, "UPDATE games SET name='改名' WHERE id=1");
    const WriteBackCounts w = writeBackPreviews(0);
    EXPECT_EQ(std::pair(w.succeeded, w.failed), std::pair(1, 1));
    EXPECT_EQ(writePopupLines(w).at(2).text, kRowChangedMessage);
    EXPECT_EQ(aiPreview, (std::vector<std::string>{"动作", ""}));
    EXPECT_EQ(m.categories(m.db), (std::vector<std::string>{"", "射击"}));
    EXPECT_EQ(m.categories(m.db + ".bak"), (std::vector<std::string>{"", " 动作 |\t射击\r||"}));
}

// A press that cannot write leaves data.db as it was and keeps every preview for another
// try. A busy file fails as a whole, before a copy is made. (Read-only files and folders:
// tests/folder_match.cpp, which can drop root's privileges.)
TEST(WriteBack, RefusedPressWritesNothing) {
    struct Case {
        const char* what;
        std::function<void(const std::string& db)> spoil;
        std::string popup;
    };
    sqlite3* holder = nullptr;  // another program's connection, in the middle of a write
    const Case cases[] = {
        {"missing", [](const std::string& db) { std::filesystem::remove(db); }, "无法打开 data.db 或准备 SQL 语句。"},
        {"backup impossible",
         [](const std::string& db) {
             kbtest::makeDirs(db + ".bak.tmp/inside");  // the temporary copy cannot be created
             kbtest::makeDirs(db + ".bak/inside");      // nor can an existing copy be replaced
         },
         "无法在写入前备份 data.db，未写入任何内容。"},
        {"held by the menu",
         [&holder](const std::string& db) {
             sqlite3_open(db.c_str(), &holder);
             sqlite3_exec(holder, "BEGIN IMMEDIATE; UPDATE games SET name='x' WHERE id=2;", nullptr, nullptr, nullptr);
         },
         "data.db 正被其他程序使用，未写入任何内容。"},
        {"locked for reading too",
         [&holder](const std::string& db) {
             sqlite3_open(db.c_str(), &holder);
             sqlite3_exec(holder, "BEGIN EXCLUSIVE; UPDATE games SET name='x' WHERE id=2;", nullptr, nullptr, nullptr);
         },
         "data.db 正被其他程序使用，未写入任何内容。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Menu m({"A", "B"}, {"旧A", "旧B"}, {"动作"});
        c.spoil(m.db);
        const std::string bytes = kbtest::readFile(m.db);
        aiPreview = {"动作", "动作"};
        EXPECT_EQ(writePopupLines(writeBackPreviews(0)).at(0).text, c.popup);
        EXPECT_EQ(aiPreview, (std::vector<std::string>{"动作", "动作"}));
        EXPECT_EQ(kbtest::readFile(m.db), bytes);
        EXPECT_EQ(kbtest::fileExists(m.db), !bytes.empty());  // a missing file is not created
        if (!holder) continue;
        EXPECT_FALSE(kbtest::fileExists(m.db + ".bak"));  // no copy for a press that writes nothing
        // Once the other writer is gone the kept previews go through; neither file is damaged.
        ASSERT_EQ(sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(holder);
        holder = nullptr;
        EXPECT_EQ(writeBackPreviews(0).succeeded, 2);
        EXPECT_EQ(kbtest::queryColumn(m.db + ".bak", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
        EXPECT_EQ(m.categories(m.db), (std::vector<std::string>{"动作", "动作"}));
    }
}
