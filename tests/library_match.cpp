#include "match/library_match.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <random>

#include "data/jobs.h"
#include "match/compare.h"
#include "tests/test_util.h"

namespace {

using kbtest::TempDir;

struct Row {
    std::string name;
    int32_t imageCount = 0, textCount = 0;
    std::string matchedName;
};

void setGames(const std::vector<Row>& rows) {
    dummyGames.clear();
    for (size_t i = 0; i < rows.size(); ++i) {
        GameInfo g;
        g.id = static_cast<int32_t>(i + 1);
        g.name = rows[i].name;
        g.imageCount = rows[i].imageCount;
        g.textCount = rows[i].textCount;
        if (!rows[i].matchedName.empty()) {
            installCandidates(g, {MatchCandidate{42, rows[i].matchedName, "", 0.8f}}, "网络匹配");
        }
        dummyGames.push_back(std::move(g));
    }
    aiPreview.assign(dummyGames.size(), std::string());
}

LibraryJob jobFor(std::vector<PoolItem> pool, int32_t threshold = 4, int32_t res = 0, int32_t match = 0) {
    LibraryJob job;
    job.pool = std::move(pool);
    job.sourcePath = "/menu/kbdata.csv";
    job.simThresholdIndex = threshold;
    job.existingResourceMode = res;
    job.existingMatchMode = match;
    for (size_t i = 0; i < dummyGames.size(); ++i)
        job.games.push_back(LibraryGameInput{i, dummyGames[i].name, dummyGames[i].imageCount, dummyGames[i].textCount,
                                             dummyGames[i].matchedName});
    return job;
}

class LibraryJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetJobGlobals();
        gLibraryMatchFinished = false;
    }
    void TearDown() override {
        if (gMatchThread.joinable()) gMatchThread.join();
        dummyGames.clear();
        aiPreview.clear();
        resetJobGlobals();
    }
};

const std::vector<PoolItem> kPool = {
    {1245620, "ELDEN RING", "艾尔登法环", "老头环"},
    {1245999, "Elden Ring Nightreign", "老头环2", ""},
    {620, "Portal 2", "传送门2", ""},
    {400, "Portal", "传送门", ""},
    {500, "Left 4 Dead", "求生之路", ""},
    {500, "Left 4 Dead Demo", "求生之路", "L4D"},
    {700, "Abcxyz", "甲乙丙丁五", ""},
    {800, "", "", ""},
};

TEST_F(LibraryJobTest, GameCases) {
    struct Case {
        const char* label;
        std::string name;
        int32_t threshold;
        std::string method;
        std::string matchedName;
        float similarity;
        std::vector<int32_t> appids;  // expected candidates, best first (ties: any order)
    };
    const std::vector<Case> cases = {
        // The nickname is byte-equal: 1.0 even though 老头环2 also passes (0.97).
        {"nickname exact hit", "老头环", 4, "精确", "艾尔登法环", 1.0f, {1245620, 1245999}},
        // Two entries with appid 500 both pass: one candidate, the better score.
        {"duplicate appid", "求生之路", 4, "精确", "求生之路", 1.0f, {500}},
        // Portal 3 against Portal 2 and Portal is 6/7 = 0.857: a hit at 70%, a miss at 90%.
        {"threshold 0.9 miss", "Portal 3", 6, "未命中", "", 0.0f, {}},
        {"same game at 70%", "Portal 3", 4, "模糊", "", 6.0f / 7.0f, {400, 620}},
        // Chinese part 0.8 against name_cn, English part 0.5 against name: 0.6*0.8+0.4*0.5 = 0.68.
        {"mixed 0.68 below 70%", "甲乙丙丁IV Abcdef", 4, "未命中", "", 0.0f, {}},
        {"mixed 0.68 at 60%", "甲乙丙丁IV Abcdef", 3, "模糊", "甲乙丙丁五", 0.6f * 0.8f + 0.4f * 0.5f, {700}},
        // An empty name equals every entry with an empty field.
        {"empty name", "", 4, "精确", "", 1.0f, {400, 500, 620, 700, 800, 1245999}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        setGames({{c.name}});
        runLibraryMatch(jobFor(kPool, c.threshold));
        const GameInfo& g = dummyGames[0];
        EXPECT_EQ(g.matchMethod, c.method);
        EXPECT_EQ(g.selectedCandidate, 0);
        std::vector<int32_t> ids;
        for (const MatchCandidate& m : g.candidates) {
            ids.push_back(m.appid);
            EXPECT_TRUE(m.extra.empty());
        }
        if (c.appids.empty()) {
            EXPECT_TRUE(g.candidates.empty());
            EXPECT_TRUE(g.matchedName.empty());
            EXPECT_EQ(g.similarity, 0.0f);
            continue;
        }
        ASSERT_FALSE(g.candidates.empty());
        if (c.matchedName.empty()) {  // tied candidates: any order
            std::sort(ids.begin(), ids.end());
            EXPECT_EQ(ids, c.appids);
        } else {
            EXPECT_EQ(g.matchedName, c.matchedName);
            EXPECT_EQ(ids, c.appids);
        }
        EXPECT_FLOAT_EQ(g.similarity, c.similarity);
        EXPECT_EQ(g.similarity, g.candidates[0].score);
        EXPECT_EQ(g.matchedName, g.candidates[0].name);
    }
}

TEST_F(LibraryJobTest, DuplicateAppidKeepsHigherScore) {
    const std::vector<PoolItem> pool = {{9, "Halo Wars", "", ""}, {9, "Halo Wars 2", "", ""}, {9, "Halo", "", ""}};
    setGames({{"Halo Wars 2"}});
    runLibraryMatch(jobFor(pool, 4));
    ASSERT_EQ(dummyGames[0].candidates.size(), 1u);
    EXPECT_EQ(dummyGames[0].candidates[0].name, "Halo Wars 2");
    EXPECT_EQ(dummyGames[0].candidates[0].score, 1.0f);
}

TEST_F(LibraryJobTest, SkipRulesAndStatusCounters) {
    setGames({
        {"老头环", 0, 0, ""},          // processed, exact
        {"Portal 3", 0, 0, ""},        // processed, fuzzy
        {"Nothing Like It", 0, 0, ""}, // processed, missed
        {"传送门", 3, 1, ""},           // has images and text: skipped
        {"传送门2", 3, 0, ""},          // images only: processed
        {"求生之路", 0, 0, "Older"},    // already matched: skipped
    });
    const LibraryRunSummary s = runLibraryMatch(jobFor(kPool));
    EXPECT_EQ(s.skipped, 2);
    EXPECT_EQ(s.total, 4);
    EXPECT_EQ(s.exact, 2);
    EXPECT_EQ(s.fuzzy, 1);
    EXPECT_EQ(s.missed, 1);
    EXPECT_EQ(s.hits, 3);
    EXPECT_EQ(s.percent, 75);
    EXPECT_EQ(gTotalCount.load(), 4);
    EXPECT_EQ(gConfirmCount.load(), 3);
    EXPECT_EQ(gPendingCount.load(), 0);
    EXPECT_EQ(gUnmatchCount.load(), 1);
    EXPECT_TRUE(dummyGames[3].candidates.empty());
    EXPECT_TRUE(dummyGames[3].matchMethod.empty());
    EXPECT_EQ(dummyGames[5].matchedName, "Older");
    EXPECT_EQ(dummyGames[5].matchMethod, "网络匹配");
    EXPECT_EQ(dummyGames[4].matchMethod, "精确");
    EXPECT_EQ(dummyGames[2].matchMethod, "未命中");
    EXPECT_TRUE(gLibraryMatchFinished.load());
    EXPECT_FALSE(gWaitState.active.load());
    {
        std::lock_guard<std::mutex> lk(gMatchMsgMtx);
        EXPECT_EQ(gMatchDebug,
                  "本地库匹配完成\n命中: 3 / 4 (75%)\n精确: 2  模糊: 1  未命中: 1\n跳过: 2\n数据条目: 8\n数据文件: "
                  "/menu/kbdata.csv");
    }

    // Overwrite modes take every game.
    const LibraryRunSummary all = runLibraryMatch(jobFor(kPool, 4, 1, 1));
    EXPECT_EQ(all.skipped, 0);
    EXPECT_EQ(all.total, 6);
    EXPECT_EQ(dummyGames[5].matchMethod, "精确");
}

TEST_F(LibraryJobTest, RowsChangedMeanwhileAreNotWritten) {
    setGames({{"老头环"}, {"传送门"}});
    LibraryJob job = jobFor(kPool);
    dummyGames[0].name = "Renamed";  // e.g. a reload replaced the list
    runLibraryMatch(std::move(job));
    EXPECT_TRUE(dummyGames[0].candidates.empty());
    EXPECT_EQ(dummyGames[1].matchMethod, "精确");
}

// --- start handler with real files in a menu folder

void writeCsv(const std::string& path) {
    kbtest::writeFile(path, "appid,name,name_cn,nickname\n1245620,ELDEN RING,艾尔登法环,老头环\n620,Portal 2,传送门2,\n");
}

void writeEncryptedDb(const std::string& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_key(db, kPoolDbKey, 32), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE games (appid INTEGER, name TEXT, name_cn TEXT, nickname TEXT);"
                           "INSERT INTO games VALUES (400, 'Portal', '传送门', NULL);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

std::string matchMsg() {
    std::lock_guard<std::mutex> lk(gMatchMsgMtx);
    return gMatchMsg;
}

TEST_F(LibraryJobTest, StartCases) {
    struct Case {
        const char* label;
        bool games, csv, badCsv, db, badDb;
        bool started;
        std::string msg;
        std::string source;  // file name the job used
    };
    const std::vector<Case> cases = {
        {"no games", false, true, false, false, false, false, "请先点击【读取数据】加载游戏。", ""},
        {"both files missing", true, false, false, false, false, false, "没有本地数据库", ""},
        {"csv good", true, true, false, true, false, true, "", "kbdata.csv"},
        {"csv bad, db good", true, false, true, true, false, true, "加载 kbdata.csv 失败: CSV 内容为空或解析失败",
         "kbdata.db"},
        {"csv bad, no db", true, false, true, false, false, false, "加载 kbdata.csv 失败: CSV 内容为空或解析失败", ""},
        {"db only", true, false, false, true, false, true, "", "kbdata.db"},
        {"db unusable", true, false, false, false, true, false, "加载 kbdata.db 失败: 准备SQL失败: ", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        resetJobGlobals();
        TempDir dir;
        kbtest::ScopedMenuDir menu(dir.path);
        if (c.csv) writeCsv(dir.path + "kbdata.csv");
        if (c.badCsv) kbtest::writeFile(dir.path + "kbdata.csv", "appid,name,name_cn,nickname\n");
        if (c.db) writeEncryptedDb(dir.path + "kbdata.db");
        if (c.badDb) kbtest::writeFile(dir.path + "kbdata.db", "this is not a database at all, just text......");
        if (c.games) setGames({{"传送门"}, {"老头环"}});
        else setGames({});
        const bool started = startLibraryMatch(PanelOptions{});
        EXPECT_EQ(started, c.started);
        EXPECT_EQ(gMatchThread.joinable(), c.started);
        const std::string msg = matchMsg();
        if (c.msg.empty()) {
            EXPECT_TRUE(msg.empty()) << msg;
        } else {
            EXPECT_EQ(msg.rfind(c.msg, 0), 0u) << msg;
        }
        EXPECT_EQ(gMatchShowModal, !c.msg.empty());
        if (!c.started) continue;
        EXPECT_TRUE(gWaitState.title == "本地库匹配中");
        gMatchThread.join();
        EXPECT_TRUE(gLibraryMatchFinished.load());
        EXPECT_FALSE(gWaitState.active.load());
        EXPECT_FALSE(gLocalMatchRunning.load());
        std::string debug;
        {
            std::lock_guard<std::mutex> lk(gMatchMsgMtx);
            debug = gMatchDebug;
        }
        EXPECT_NE(debug.find("数据文件: " + dir.path + c.source), std::string::npos) << debug;
        // 传送门 is exact in the database, 老头环 (a nickname) in the CSV.
        EXPECT_EQ(dummyGames[c.source == "kbdata.db" ? 0 : 1].matchMethod, "精确");
    }
}

TEST_F(LibraryJobTest, RefusedWhileAnotherMatchRuns) {
    setGames({{"传送门"}});
    gMatchState = 1;
    EXPECT_FALSE(startLibraryMatch(PanelOptions{}));
    EXPECT_FALSE(gMatchThread.joinable());
    EXPECT_FALSE(matchMsg().empty());
}

// Real menu titles against real pool rows, copied from the shared fixtures' matching-quality sets
// (quality/dev_trainer.tsv, dev_tw.tsv, dev_bilingual.tsv) and derived/pool_real.csv.
// appid 0: no candidate.
TEST(LibraryCleaned, RealNoisyTitles) {
    const std::vector<PoolItem> pool = {
        {1238820, "Battlefield 3™ ", "", ""},
        {398390, "Безумный Макс 3: Под Куполом грома", "", ""},
        {1002871, "皓月空华 - 打赏3$", "", ""},
        {668580, "Atomic Heart", "原子之心", ""},
        {233450, "Prison Architect", "监狱建筑师", ""},
        {234433, "Prison Architect Soundtrack", "", ""},
        {278080, "DYNASTY WARRIORS 8: Xtreme Legends Complete Edition", "真・三国无双７ with 猛将传", ""},
        {43160, "Metro: Last Light", "地铁 最后的曙光", ""},
        {287390, "Metro: Last Light Redux", "地铁：最后的曙光", ""},
        {537800, "Bomber Crew", "轰炸机小队 / Bomber Crew", ""},
    };
    struct Case {
        const char* title;
        int32_t plain, cleaned;
    };
    const Case cases[] = {
        {"Battlefield 3 战地3", 1238820, 1238820},  // the English part alone, never the "3" of others
        {"原子之心 v1.0-v1.14.4.0 二十九项修改器", 0, 668580},
        {"监狱建筑师 v2023.05.16 七项修改器", 0, 233450},
        {"真・三國無雙７ with 猛將傳", 0, 278080},
        {"地铁：最后的曙光 v1.0-1.0.0.2 十五项修改器", 0, 287390},  // one name twice: the newer entry
        {"Bomber Crew 轰炸机小队 / Bomber Crew", 537800, 537800},
    };
    for (const bool clean : {false, true}) {
        const PoolIndexPtr index = buildPoolIndex(pool, clean);
        MatchScratch scratch;
        for (const Case& c : cases) {
            const std::vector<MatchCandidate> got = matchGameFast(c.title, *index, libraryThreshold(4, clean), scratch);
            EXPECT_EQ(got.empty() ? 0 : got.front().appid, clean ? c.cleaned : c.plain) << c.title << " clean " << clean;
        }
    }
}

// --- the fast path against the straightforward evaluation

std::vector<PoolItem> loadSample() {
    std::vector<PoolItem> pool;
    std::string err;
    EXPECT_TRUE(loadTranslatedCsv(std::string(KB_TEST_DATA_DIR) + "/local/pool_sample.csv", pool, err)) << err;
    return pool;
}

std::vector<std::string> sampleTitles() {
    std::vector<std::string> out;
    std::ifstream in(std::string(KB_TEST_DATA_DIR) + "/local/menu_sample.txt");
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// Same candidates with the same scores; equal scores may come in any order.
void expectSameResult(const std::vector<MatchCandidate>& fast, const std::vector<MatchCandidate>& ref,
                      const std::string& title, float t) {
    auto key = [](std::vector<MatchCandidate> v) {
        std::vector<std::tuple<float, int32_t, std::string>> k;
        for (auto& c : v) k.emplace_back(-c.score, c.appid, c.name);
        std::sort(k.begin(), k.end());
        return k;
    };
    ASSERT_EQ(fast.size(), ref.size()) << title << " at " << t;
    EXPECT_EQ(key(fast), key(ref)) << title << " at " << t;
    for (size_t i = 0; i < fast.size(); ++i) EXPECT_EQ(fast[i].score, ref[i].score) << title;
}

// Titles that sit near pool entries: cut, extended, with a character changed or a numeral added.
std::vector<std::string> mutatedTitles(const std::vector<PoolItem>& pool, size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::string> out;
    const char* suffixes[] = {" 2", " II", "4", " Remastered", "：起源", " 豪华版", "十五", "XV", " Demo"};
    while (out.size() < n) {
        const PoolItem& e = pool[rng() % pool.size()];
        const std::string& base = (rng() % 3 == 0 && !e.name_cn.empty()) ? e.name_cn : e.name;
        std::string t = base;
        switch (rng() % 5) {
            case 0: t += suffixes[rng() % 9]; break;
            case 1: if (t.size() > 4) t = t.substr(0, t.size() - 1 - rng() % 3); break;
            case 2: if (!e.name_cn.empty()) t = e.name_cn + " " + e.name; break;
            case 3: if (!e.name_cn.empty()) t = e.name + " " + e.name_cn; break;
            default: if (!t.empty()) t[rng() % t.size()] = 'a' + static_cast<char>(rng() % 26); break;
        }
        out.push_back(t);
    }
    return out;
}

TEST(LibraryFastPath, MatchesReferenceOnRealTitlesAtEveryThreshold) {
    const std::vector<PoolItem> pool = loadSample();
    ASSERT_GT(pool.size(), 1000u);
    std::vector<std::string> titles = sampleTitles();
    std::mt19937 rng(1234);
    std::shuffle(titles.begin(), titles.end(), rng);
    titles.resize(60);
    const std::vector<std::string> extra = mutatedTitles(pool, 60, 99);
    titles.insert(titles.end(), extra.begin(), extra.end());
    titles.insert(titles.end(), {"", "a", "4", "II", "生", "生化", "Portal 2", "最终幻想XV Final Fantasy XV",
                                 "Resident Evil 4 生化危机4", "老头环", "三國志13 威力加強版",
                                 "原子之心 v1.0-v1.14.4.0 二十九项修改器", "《战斗位置：太平洋》汉化"});
    MatchScratch scratch;
    for (const bool clean : {false, true}) {
        PoolIndexPtr index = buildPoolIndex(pool, clean);
        for (int32_t ti = -1; ti <= 6; ++ti) {
            const float t = ti < 0 ? 0.0f : libraryThreshold(ti, clean);  // 0: every entry is a candidate
            // Low thresholds are the slow end of the reference; a subset keeps the test short.
            const size_t count = ti < 0 ? 4 : ti < 2 || clean ? titles.size() / 3 : titles.size();
            for (size_t i = 0; i < count; ++i) {
                const std::string& title = titles[(i * 7 + static_cast<size_t>(ti)) % titles.size()];
                expectSameResult(matchGameFast(title, *index, t, scratch), matchGameReference(title, pool, t, clean),
                                 title.substr(0, 80), t);
            }
        }
    }
}

TEST(LibraryFastPath, FieldRepeatingOneCharacterBeyondSixteenBits) {
    std::string many;
    for (int i = 0; i < 100000; ++i) many += "生";
    const std::vector<PoolItem> pool = {{1, "Many", many, ""}, {2, "Other", "生化", ""}};
    MatchScratch scratch;
    for (const bool clean : {false, true}) {
        PoolIndexPtr index = buildPoolIndex(pool, clean);
        const std::vector<MatchCandidate> fast = matchGameFast(many + "化", *index, 0.9f, scratch);
        expectSameResult(fast, matchGameReference(many + "化", pool, 0.9f, clean), "many", 0.9f);
        EXPECT_FALSE(fast.empty());
    }
}

TEST(LibraryFastPath, RandomPoolsAndTitles) {
    // Small random pools over a tiny alphabet, so that near-misses at every bound are common.
    std::mt19937 rng(42);
    const std::vector<std::string> atoms = {"a", "b", "ab", "x", "1", "2", " ", "生", "化", "危", "机", "四",
                                            "IV", "V", "X", "Ⅳ", "：", "-", "老", "头", "环", "十", "五"};
    auto randomText = [&](size_t maxAtoms) {
        std::string s;
        const size_t n = rng() % (maxAtoms + 1);
        for (size_t i = 0; i < n; ++i) s += atoms[rng() % atoms.size()];
        return s;
    };
    for (int round = 0; round < 20; ++round) {
        std::vector<PoolItem> pool;
        for (int i = 0; i < 300; ++i)
            pool.push_back(PoolItem{1 + static_cast<int32_t>(rng() % 150), randomText(10), randomText(8),
                                    rng() % 4 == 0 ? randomText(5) : std::string()});
        const bool clean = round % 2 == 1;
        PoolIndexPtr index = buildPoolIndex(pool, clean);
        MatchScratch scratch;
        for (int g = 0; g < 40; ++g) {
            const std::string title = randomText(12);
            const float t = libraryThreshold(static_cast<int32_t>(rng() % 7), clean);
            expectSameResult(matchGameFast(title, *index, t, scratch), matchGameReference(title, pool, t, clean), title, t);
        }
    }
}

}  // namespace
