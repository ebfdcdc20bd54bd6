// The offline match against the title pool: per-game results, skip rules and counters, the
// start handler with real pool files, real noisy titles, and the fast path against the
// straightforward evaluation under both rules.
#include "match/library_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <random>
#include <thread>
#include <tuple>

#include "data/jobs.h"
#include "match/text.h"
#include "tests/test_util.h"

namespace {

using kbtest::TempDir;

const std::vector<PoolItem> kPool = {
    {1245620, "ELDEN RING", "艾尔登法环", "老头环"}, {1245999, "Elden Ring Nightreign", "老头环2", ""},
    {620, "Portal 2", "传送门2", ""},              {400, "Portal", "传送门", ""},
    {500, "Left 4 Dead", "求生之路", ""},          {500, "Left 4 Dead Demo", "求生之路", "L4D"},
    {700, "Abcxyz", "甲乙丙丁五", ""},             {800, "", "", ""},
    {222880, "Dragon Nest", "龙之谷", ""},         {900, "坦克3", "", ""},
    {2048, "2048 Puzzle", "", ""},
};

void setGames(const std::vector<std::string>& names) {
    dummyGames.assign(names.size(), GameInfo{});
    for (size_t i = 0; i < names.size(); ++i) dummyGames[i].name = names[i];
}

LibraryJob jobFor(int32_t threshold = 4) {
    LibraryJob job;
    job.pool = kPool;
    job.sourcePath = "/menu/kbdata.csv";
    job.simThresholdIndex = threshold;
    for (size_t i = 0; i < dummyGames.size(); ++i) {
        const GameInfo& g = dummyGames[i];
        job.games.push_back(LibraryGameInput{i, g.name, g.imageCount, g.textCount, g.matchedName});
    }
    return job;
}

class LibraryJobTest : public ::testing::Test {
protected:
    void SetUp() override { resetJobGlobals(); }
    void TearDown() override {
        if (gMatchThread.joinable()) gMatchThread.join();
        dummyGames.clear();
        resetJobGlobals();
    }
};

TEST_F(LibraryJobTest, GameCases) {
    struct Case {
        std::string name;
        int32_t threshold;
        std::string method;
        float similarity;
        std::vector<int32_t> appids;  // sorted
    };
    const Case cases[] = {
        {"老头环", 4, "精确", 1.0f, {1245620, 1245999}},    // a byte-equal nickname is 1.0
        {"求生之路", 4, "精确", 1.0f, {500}},               // one candidate per appid
        {"Portal 3", 4, "模糊", 6.0f / 7.0f, {400, 620}},   // 6/7 against Portal 2 and Portal
        // Chinese part 0.8 against name_cn, English part 0.5 against name: 0.6*0.8+0.4*0.5.
        {"甲乙丙丁IV Abcdef", 3, "模糊", 0.6f * 0.8f + 0.4f * 0.5f, {700}},
        // Each part of a mixed title against the names of its script, wherever it stands.
        {"Portal 2 传送门", 4, "模糊", 0.6f * 0.97f + 0.4f, {400, 620}},
        // "3" of the Chinese part is never compared with English names (it equals 坦克3's key).
        {"Battlefield 战地3", 0, "未命中", 0.0f, {}},
        {"龙", 4, "模糊", 0.76f, {222880}},     // one character: 1 - 0.18, two characters longer
        {"2048", 0, "模糊", 0.4f, {2048}},      // a digits-only English title is its own key
    };
    for (const Case& c : cases) {
        setGames({c.name});
        runLibraryMatch(jobFor(c.threshold));
        const GameInfo& g = dummyGames[0];
        std::vector<int32_t> ids;
        for (const MatchCandidate& m : g.candidates) ids.push_back(m.appid);
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(ids, c.appids) << c.name;
        EXPECT_EQ(g.matchMethod, c.method) << c.name;
        EXPECT_FLOAT_EQ(g.similarity, c.similarity) << c.name;
    }
}

// Four workers, one per processed game. The job's own thread starts its worker last or first and
// then gets a quick game, while helpers still work on the slow ones. Rows read under the lock
// while the job runs are untouched or complete; when the job returns, every worker has written
// and counted its game (a helper still running then leaves the rows and counts short).
TEST_F(LibraryJobTest, WorkersWriteUnderTheLockAndEndWithTheJob) {
    std::vector<PoolItem> pool = kPool;
    // Long names made of the English titles' words: their probes walk every one of them, and none
    // comes near the threshold. The Chinese titles, first and last in the work, stay quick.
    std::string en;
    for (int k = 0; k < 8; ++k) en += "Portal 3 Nothing Like It ";
    for (int32_t i = 0; i < 10000; ++i) pool.push_back(PoolItem{100000 + i, en, "", ""});
    auto written = [](const GameInfo& g) { return g.matchMethod == "精确" || g.matchMethod == "模糊" || g.matchMethod == "未命中"; };
    for (int run = 0; run < 4; ++run) {
        SCOPED_TRACE(run);
        resetJobGlobals();
        setGames({"老头环", "Portal 3", "Nothing Like It", "传送门", "传送门2", "求生之路"});
        dummyGames[3].imageCount = dummyGames[4].imageCount = 3;
        dummyGames[3].textCount = 1;  // images and text: skipped
        installCandidates(dummyGames[5], {MatchCandidate{42, "Older", "", 0.8f}}, "网络匹配");  // kept
        LibraryJob job = jobFor();
        job.pool = pool;
        job.workers = 4;
        std::atomic<bool> returned{false};
        size_t writtenAtReturn = 0;
        int32_t doneAtReturn = 0;
        LibraryRunSummary sum;
        std::thread runner([&] {
            sum = runLibraryMatch(std::move(job));
            doneAtReturn = gMatchDone.load();
            std::lock_guard<std::mutex> lk(gMatchMtx);
            writtenAtReturn = static_cast<size_t>(std::count_if(dummyGames.begin(), dummyGames.end(), written));
            returned = true;
        });
        size_t seen = 0, broken = 0, shrank = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (!returned.load() && std::chrono::steady_clock::now() < deadline) {
            std::unique_lock<std::mutex> lk(gMatchMtx);
            size_t now = 0;
            for (const GameInfo& g : dummyGames) {
                if (!written(g)) continue;
                ++now;
                const bool whole = g.candidates.empty() ? g.matchMethod == "未命中" && g.matchedName.empty()
                                                        : g.matchedName == g.candidates[0].name && g.similarity == g.candidates[0].score;
                broken += whole ? 0 : 1;
            }
            shrank += now < seen ? 1 : 0;
            seen = now;
            lk.unlock();
            std::this_thread::sleep_for(std::chrono::microseconds(200));  // leave the workers room
        }
        runner.join();
        EXPECT_EQ(broken + shrank, 0u);
        EXPECT_EQ(doneAtReturn, 6);
        EXPECT_EQ(writtenAtReturn, 4u);
        EXPECT_EQ(sum.exact + sum.fuzzy + sum.missed, 4);
        EXPECT_TRUE(dummyGames[3].matchMethod.empty());
        EXPECT_EQ(dummyGames[4].matchMethod, "精确");
        EXPECT_EQ(dummyGames[5].matchMethod, "网络匹配");
        EXPECT_EQ(gConfirmCount.load(), 3);
        EXPECT_EQ(gUnmatchCount.load(), 1);
        std::lock_guard<std::mutex> lk(gMatchMsgMtx);
        EXPECT_EQ(gMatchDebug, "本地库匹配完成\n命中: 3 / 4 (75%)\n精确: 2  模糊: 1  未命中: 1\n跳过: 2\n数据条目: 10011\n"
                               "数据文件: /menu/kbdata.csv");
    }
}

TEST_F(LibraryJobTest, StartWithRealPoolFiles) {
    struct Case {
        std::string csv, db;  // file contents; "" = no file, "key" = an encrypted pool
        std::string msg, source;
    };
    const std::string header = "appid,name,name_cn,nickname\n";
    const Case cases[] = {
        {"", "", "没有本地数据库", ""},
        {header, "key", "加载 kbdata.csv 失败: CSV 内容为空或解析失败", "kbdata.db"},
        {"", "not a database at all, just text......", "加载 kbdata.db 失败: 准备SQL失败: ", ""},
    };
    gMatchState = 1;  // another match runs
    EXPECT_FALSE(startLibraryMatch(PanelOptions{}));
    resetJobGlobals();
    EXPECT_FALSE(startLibraryMatch(PanelOptions{}));  // no games loaded
    EXPECT_EQ(gMatchMsg, kLoadGamesFirstMessage);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msg + c.source);
        resetJobGlobals();
        TempDir dir;
        kbtest::ScopedMenuDir menu(dir.path);
        if (!c.csv.empty()) kbtest::writeFile(dir.path + "kbdata.csv", c.csv);
        if (c.db == "key")  // written by the Linux build with the program's key (see its README)
            kbtest::writeFile(dir.path + "kbdata.db", kbtest::readFile(KB_TEST_DATA_DIR "/local/kbdata_linux.db"));
        else if (!c.db.empty()) kbtest::writeFile(dir.path + "kbdata.db", c.db);
        setGames({"传送门", "老头环"});
        EXPECT_EQ(startLibraryMatch(PanelOptions{}), !c.source.empty());
        {
            std::lock_guard<std::mutex> lk(gMatchMsgMtx);
            EXPECT_EQ(gMatchMsg.rfind(c.msg, 0), 0u) << gMatchMsg;
        }
        if (c.source.empty()) continue;
        gMatchThread.join();
        EXPECT_NE(gMatchDebug.find("数据文件: " + dir.path + c.source), std::string::npos) << gMatchDebug;
        EXPECT_EQ(dummyGames[0].matchMethod, "精确");  // 传送门 is in the database
    }
}

// Cleaned scores are shown on the options' scale: option i keeps exactly what the scorer's own
// cut keeps, at the labelled percentage; 1 stays 100 %; 精确 stays at 0.999 as shown.
TEST(LibraryCleaned, ShownScale) {
    for (int32_t i = 0; i < 7; ++i) {
        const float raw = cleanedThreshold(i), label = matchThreshold(i);
        EXPECT_FLOAT_EQ(label, 0.3f + 0.1f * static_cast<float>(i));
        EXPECT_EQ(shownCleanedScore(raw), label) << i;                              // at the cut: kept
        EXPECT_LT(shownCleanedScore(std::nextafter(raw, 0.0f)), label) << i;        // just below: not
        EXPECT_EQ(rawCleanedThreshold(label), raw) << i;
    }
    const std::pair<float, float> rows[] = {
        {1.0f, 1.0f},   {0.9996f, 0.9992f}, {0.999f, 0.998f}, {0.8375f, 0.75f},
        {0.25f, 0.15f}, {0.0f, 0.0f},
    };
    for (const auto& [raw, shown] : rows) EXPECT_NEAR(shownCleanedScore(raw), shown, 1e-5f) << raw;
    EXPECT_TRUE(isExactScore(shownCleanedScore(0.9996f)));
    EXPECT_FALSE(isExactScore(shownCleanedScore(0.999f)));  // 精确 on the raw scale, not as shown
    EXPECT_TRUE(std::isinf(rawCleanedThreshold(1.5f)));
    // Monotone everywhere, knots included.
    float last = -1.0f;
    for (float r = 0.0f; r <= 1.0f; r = std::nextafter(r + 1.0f / 4096.0f, 2.0f)) {
        for (float v : {std::nextafter(r, 0.0f), r}) {
            EXPECT_GE(shownCleanedScore(v), last) << v;
            last = shownCleanedScore(v);
        }
    }
}

// --- the fast path against the straightforward evaluation

// The per-pair rule as written, on the plain comparisons, with one change: a mixed title's part
// that holds no Chinese character is its English part, wherever the split placed it.
float plainPairRule(const std::string& t, const PoolItem& e) {
    if (t == e.name || t == e.name_cn || t == e.nickname) return 1.0f;
    const int type = classifyNameType(t);
    if (type == NameType::English) return std::max(compareEnglish(t, e.name), compareEnglish(t, e.nickname));
    if (type == NameType::Chinese) return std::max(compareChinese(t, e.name_cn), compareChinese(t, e.nickname));
    auto [cn, en] = splitNameToCnEn(t);
    if (classifyNameType(cn) == NameType::English) std::swap(cn, en);
    const float c = compareChinese(cn, e.name_cn), s = compareEnglish(en, e.name);
    if (c > 0.0f && s > 0.0f) return 0.6f * c + 0.4f * s;
    return std::max({c, s, compareChinese(t, e.nickname), compareEnglish(t, e.nickname)});
}

// Pool order; one candidate per appid (its first row with the highest score); best first, ten.
std::vector<MatchCandidate> plainList(const std::string& title, const std::vector<PoolItem>& pool, float t) {
    std::vector<MatchCandidate> out;
    for (const PoolItem& e : pool) {
        const float s = plainPairRule(title, e);
        if (!(s >= t)) continue;
        auto same = std::find_if(out.begin(), out.end(), [&](const MatchCandidate& c) { return c.appid == e.appid; });
        const MatchCandidate c{e.appid, e.name_cn.empty() ? e.name : e.name_cn, "", s};
        if (same == out.end()) out.push_back(c);
        else if (s > same->score) *same = c;
    }
    std::stable_sort(out.begin(), out.end(), [](const MatchCandidate& a, const MatchCandidate& b) { return a.score > b.score; });
    if (out.size() > 10) out.resize(10);
    return out;
}

// Same candidates with the same scores; equal scores may come in any order. Without cleaning
// the fast path and the reference must both give the plain rule's list.
void expectSameResult(const std::string& title, const std::vector<PoolItem>& pool, const PoolIndex& index, float t,
                      bool clean, MatchScratch& scratch) {
    auto key = [](const std::vector<MatchCandidate>& v) {
        std::vector<std::tuple<float, int32_t, std::string>> k;
        for (const MatchCandidate& c : v) k.emplace_back(-c.score, c.appid, c.name);
        std::sort(k.begin(), k.end());
        return k;
    };
    const auto want = key(clean ? matchGameReference(title, pool, t, true) : plainList(title, pool, t));
    EXPECT_EQ(key(matchGameFast(title, index, t, scratch)), want) << title.substr(0, 80) << " at " << t << " clean " << clean;
    for (const auto& [negScore, appid, name] : want) EXPECT_GE(-negScore, t) << name;  // the label holds as shown
    if (!clean) {
        EXPECT_EQ(key(matchGameReference(title, pool, t)), want) << title.substr(0, 80) << " at " << t;
    }
}

// Real menu titles against real pool rows, copied from the shared fixtures' matching-quality sets
// (quality/dev_*.tsv) and derived/pool_real.csv; the second row of appid 500 stands for the
// repeated rows hand-made pool files hold. appid 0: no candidate.
TEST(LibraryCleaned, RealTitlesReachTheirEntryAndNoOther) {
    const std::vector<PoolItem> pool = {
        {1238820, "Battlefield 3™ ", "", ""},
        {398390, "Безумный Макс 3: Под Куполом грома", "", ""},
        {278080, "DYNASTY WARRIORS 8: Xtreme Legends Complete Edition", "真・三国无双７ with 猛将传", ""},
        {43160, "Metro: Last Light", "地铁 最后的曙光", ""},
        {287390, "Metro: Last Light Redux", "地铁：最后的曙光", ""},
        {872410, "ROMANCE OF THE THREE KINGDOMS XIV", "三国志14", ""},
        {628080, "Romance of the Three Kingdoms XII with Power Up Kit", "三國志12 with 威力加強版", ""},
        {500, "Left 4 Dead", "生存之旅", ""}, {500, "Left 4 Dead Demo", "", ""}, {550, "Left 4 Dead 2", "求生之路2", ""},
        {1173770, "FINAL FANTASY", "最终幻想", "ff"}, {1173780, "FINAL FANTASY II", "最终幻想2", ""},
        {1173790, "FINAL FANTASY III", "最终幻想3", ""}, {1173800, "FINAL FANTASY IV", "最终幻想4", ""},
        {1173810, "FINAL FANTASY V", "最终幻想5", ""}, {1173820, "Final Fantasy VI", "最终幻想6", ""},
        {39140, "FINAL FANTASY VII", "最终幻想7", "ff7"}, {39150, "FINAL FANTASY VIII", "最终幻想8", ""},
        {377840, "FINAL FANTASY IX", "最终幻想9", ""}, {292120, "FINAL FANTASY XIII", "最终幻想13", ""},
        {637650, "FINAL FANTASY XV WINDOWS EDITION", "最终幻想15", ""},
        {814380, "Sekiro™: Shadows Die Twice", "只狼：影逝二度", ""},
        {1039230, "Sekiro - DIGITAL ARTWORK & MINI SOUNDTRACK", "", ""},
        {292030, "The Witcher 3: Wild Hunt", "巫师 3：狂猎", ""},
        {6830, "Commandos 2: Men of Courage", "盟军敢死队2：勇往直前", ""},
        {1100410, "Commandos 2 - HD Remaster", "盟军敢死队2：高清重置版", ""},
        {417640, "The Expendables 2", "敢死队2", ""},
        {271590, "Grand Theft Auto V", "Grand Theft Auto V 传承版", "gta5"}, {362003, "Grand Theft Auto V", "", ""},
        {3240220, "Grand Theft Auto V Enhanced", "Grand Theft Auto V 增强版", ""},
        {1086940, "Baldur's Gate 3", "博德之门3", ""}, {374320, "DARK SOULS™ III", "黑暗之魂3", ""},
        {39160, "Dungeon Siege III", "", ""},
        {1174180, "Red Dead Redemption 2", "荒野大镖客2", ""}, {2668510, "Red Dead Redemption", "荒野大镖客：救赎", ""},
        {2358720, "Black Myth: Wukong", "黑神话：悟空", "黑猴"}, {305620, "The Long Dark", "漫漫长夜", ""},
        {251570, "7 Days to Die", "七日杀", ""}, {381780, "80 Days", "80天", ""},
        {286100, "You Have to Win the Game", "务必胜利", ""},
        {625340, "XERA: Survival", "XERA：生存", ""}, {620220, "Catmaze", "猫神", ""}, {659120, "Survive", "求生", ""},
        {1329410, "雀魂麻将(MahjongSoul)", "", ""}, {8140, "Tomb Raider: Underworld", "古墓丽影 地下世界", ""},
        {238370, "Magicka 2", "魔能2", ""}, {6860, "Hitman: Blood Money", "杀手：血钱", ""},
        {3700, "Sniper Elite", "狙击精英", ""}, {63380, "Sniper Elite V2", "狙击精英 V2", ""},
        {310560, "DiRT Rally", "尘埃拉力赛", ""}, {690790, "DiRT Rally 2.0", "尘埃 拉力赛 2.0", ""},
        {42700, "Call of Duty: Black Ops", "使命召唤：黑色行动", ""}, {42710, "Call of Duty: Black Ops - Multiplayer", "", ""},
        {214640, "Call of Duty: Black Ops - Multiplayer OSX", "", ""},
        {72850, "The Elder Scrolls V: Skyrim", "上古卷轴5：天际", ""},
        {489830, "The Elder Scrolls V: Skyrim Special Edition", "上古卷轴5：天际重制版", ""},
        {288160, "The Room", "未上锁的房间", ""},
        {753, "Steam", "", ""}, {38400, "Fallout", "辐射", ""},
        {502500, "ACE COMBAT™ 7: SKIES UNKNOWN", "皇牌空战7：未知空域", ""},
        {868310, "ACE COMBAT™ 7: SKIES UNKNOWN - ADF-11F Raven Set", "", ""},
        {1151640, "Horizon Zero Dawn", "地平线：黎明时分", ""},
        {2561580, "Horizon Zero Dawn Remastered", "地平线：零之曙光重制版", ""},
        {9740, "Indigo Prophecy", "幻象杀手", ""}, {312840, "Fahrenheit: Indigo Prophecy Remastered", "幻象杀手：重制版", ""},
        {10180, "Call of Duty: Modern Warfare 2", "使命召唤：现代战争2", ""},
        {393080, "Call of Duty: Modern Warfare Remastered", "使命召唤6：现代战争2 重制版", ""},
        {17430, "Need for Speed: Undercover", "极品飞车12：无间风云", ""}, {1262540, "Need for Speed™", "", ""},
        {41500, "Torchlight", "火炬之光", ""}, {1030210, "Torchlight 3", "火炬之光3", ""},
        {395560, "Lost Horizon 2", "失落的地平线2", ""}, {40350, "Lost Horizon", "", ""},
        {790820, "Valkyria Chronicles 4", "战场女武神４ 最终版", ""},
        {1245620, "ELDEN RING", "艾尔登法环", ""}, {367520, "Hollow Knight", "空洞骑士", ""},
        {916000, "Hollow Knight - Gods & Nightmares", "", ""}, {203140, "Hitman: Absolution", "杀手5：赦免", ""},
        {413150, "Stardew Valley", "星露谷物语", ""},
        {883710, "RESIDENT EVIL 2 / BIOHAZARD RE:2", "", ""}, {961440, "RESIDENT EVIL 2 / BIOHAZARD RE:2 1-Shot Demo", "", ""},
        {1007510, "恋神-无用女神- / LoveKami -Useless Goddess- Chinese Language", "", ""},
        {251150, "The Legend of Heroes: Trails in the Sky", "英雄传说：空之轨迹", ""},
        {251290, "The Legend of Heroes: Trails in the Sky SC", "", ""},
        {1011940, "Ideology in Friction", "冲突的意志", ""}, {1246400, "Ideology in Friction Append", "", ""},
        {831560, "WARRIORS OROCHI 4 - 無双OROCHI３", "WARRIORS OROCHI 4 / 無雙OROCHI 蛇魔３", ""},
        {933557, "WARRIORS OROCHI 4 - Legendary Weapons Orochi Pack 2", "", ""},
        {234670, "NARUTO SHIPPUDEN: Ultimate Ninja STORM 3 Full Burst", "火影忍者：究极忍者风暴3 完全爆发", ""},
        {543890, "NARUTO SHIPPUDEN: Ultimate Ninja STORM 3 Full Burst - HD -", "", ""},
        {571910, "Nightmare", "梦魇", ""}, {1142200, "Nightmare Cave", "", ""},
    };
    struct Case {
        const char* title;
        int32_t option;  // the threshold option's index
        int32_t appid;   // the first candidate's, 0 for none
        bool exact;      // the first candidate scores 精确
    };
    const Case cases[] = {
        {"Battlefield 3 战地3", 4, 1238820, false},  // the English part alone, never the "3" of others
        {"真・三國無雙７ with 猛將傳", 4, 278080, true},
        {"地铁：最后的曙光 v1.0-1.0.0.2 十五项修改器", 4, 287390, true},  // one name twice: the newer entry
        {"三国志14", 4, 872410, true},
        {"三国志13", 4, 0, false},        // a sequel's number is another game
        {"Left 4 Dead", 0, 500, true},    // not Left 4 Dead 2, whatever the appid's other row scores
        {"最终幻想", 0, 1173770, true},   // ten candidates of twelve, the game before its sequels
        {"只狼", 4, 814380, false},       // the name before the subtitle
        {"Sekiro", 4, 814380, false},     // its artbook's listing shares the start
        {"The Witcher 3", 4, 292030, false},
        {"ACE COMBAT 7", 4, 502500, false},  // its add-ons' names carry numbers of their own
        {"巫师3", 4, 292030, false},
        {"盟军敢死队2", 4, 6830, false},  // not 敢死队2, not the remaster beside it
        {"Grand Theft Auto V", 4, 271590, false},  // the listing with more names, its newer edition beside it
        {"GTAV", 4, 271590, false},
        {"BG3", 4, 1086940, false},
        {"DS3", 4, 374320, false},  // the one with a Chinese name, the one people abbreviate
        {"RDR2", 4, 1174180, false},
        {"BlackMythWukong", 4, 2358720, true},
        {"TheLongDark", 4, 305620, true},
        {"7日杀", 4, 251570, true},
        {"80 Days 环游世界八十天", 4, 381780, false},  // another translation beside the store's name
        {"You Have to Win the Game 非赢不可", 4, 286100, false},
        {"游牧生存", 4, 0, false},        // not XERA：生存: two characters explain half of it
        {"神猫机兵", 4, 0, false},
        {"禁闭求生 v1.0 修改器", 4, 0, false},
        {"雀魂麻將(MahjongSoul)", 4, 1329410, true},
        {"《古墓丽影8：地下世界》可用简中汉化", 4, 8140, false},
        {"【魔能2】 【游侠LMAO汉化组】有汉化 能联机 成就能解锁 Magicka 2", 4, 238370, true},
        {"Hitman: Blood Money「杀手4：血钱」 3DM汉化启动方法", 4, 6860, false},
        {"위쳐 3: 와일드 헌트 (The Witcher 3: Wild Hunt)", 4, 292030, false},
        {"Sniper Elite V2 狙击精英 V2", 4, 63380, true},
        {"DiRT Rally 2.0 尘埃拉力赛2.0", 4, 690790, true},
        // The longest name the title holds, over the names inside it.
        {"Call of Duty: Black Ops - Multiplayer 使命召唤：黑色行动 - 多人模式", 4, 42710, false},
        {"The Elder Scrolls V: Skyrim Special Edition 上古卷轴5：天际特别版", 4, 489830, false},
        // 精确 needs one listing named whole: not the base game with its remaster listed beside
        // it, nor a name that breaks off inside its bracket.
        {"上古卷轴V：天际", 4, 72850, false},
        {"《未上锁的房间", 4, 288160, false},
        {"辐射1steam汉化补丁", 4, 38400, false},  // the store's name beside a Chinese name is a note
        // Editions by kind, whichever script names them; a title naming none means the game.
        {"Horizon Zero Dawn™重製版", 4, 2561580, true},
        {"地平线：黎明时分", 4, 1151640, false},
        {"幻象杀手重置版", 4, 312840, true},
        {"戰場女武神４ 完全版", 4, 790820, false},  // translations name editions loosely
        // A name's words run together, as install folders write them.
        {"eldenring", 4, 1245620, false},
        {"HOLLOWKNIGHT", 4, 367520, false},  // the game, not the add-on whose name starts with it
        {"스타듀 밸리 - Stardew Valley", 4, 413150, false},  // hangul beside a Chinese name: another language
        {"使命召唤6：现代战争2", 4, 10180, false},
        {"Need for Speed Undercover", 4, 17430, true},  // numbered as the English name, not 极品飞车12
        {"Hitman: Absolution 杀手：赦免", 4, 203140, false},  // so is the English half
        // The names an English name lists, below 精确; an add-on's are its game's.
        {"Resident Evil 2", 4, 883710, false},
        {"恋神-无用女神-", 4, 0, false},
        // A version or group tag glued to a name names no sequel; makers' credits are notes.
        {"【火炬之光】 【3DM汉化组】", 0, 41500, true},
        {"火炬之光 2.2版 汉化补丁 MOD版", 0, 41500, false},
        {"失落的地平线（Lost Horizon）汉化 文本来自CHINAAVG xxgt1992提取 需要权限50", 4, 40350, false},
        // A listing without a Chinese name by the one it extends, below 精确: the title does not
        // name it by a name of its own. The longer name the title holds wins a near tie.
        {"英雄传说空之轨迹SC", 4, 251290, false},
        {"衝突的意志Append", 4, 1246400, false},
        {"火影忍者：究极忍者风暴3完全爆发HD v1.0 十四项修改器", 4, 543890, false},
        {"《洞窟物语+》《Cave", 4, 0, false},  // "Cave" alone does not name "梦魇 Cave"
        {"無雙OROCHI 蛇魔３", 4, 831560, true},  // one of the names a Chinese name lists
        {"WARRIORS OROCHI 4/無双OROCHI３ - Legendary Weapons Orochi Pack 2", 4, 933557, true},
    };
    const PoolIndexPtr index = buildPoolIndex(pool, true);
    MatchScratch scratch;
    for (const Case& c : cases) {
        const float threshold = matchThreshold(c.option);
        const std::vector<MatchCandidate> got = matchGameFast(c.title, *index, threshold, scratch);
        EXPECT_EQ(got.empty() ? 0 : got.front().appid, c.appid) << c.title;
        EXPECT_EQ(!got.empty() && isExactScore(got.front().score), c.exact) << c.title;
        EXPECT_LE(got.size(), 10u) << c.title;  // every list holds ten candidates at most
        expectSameResult(c.title, pool, *index, threshold, true, scratch);
    }
    EXPECT_EQ(matchGameFast("最终幻想", *index, matchThreshold(0), scratch).size(), 10u);
    // A borrowed name is one name: a title holding only its Chinese part names the base, and the
    // listing that borrows it stays far below.
    const std::vector<MatchCandidate> base = matchGameFast("英雄传说：空之轨迹", *index, matchThreshold(4), scratch);
    ASSERT_EQ(base.size(), 2u);
    EXPECT_EQ(base[1].appid, 251290);
    EXPECT_LT(base[1].score, matchThreshold(6));
    // Scores leave the matcher on the options' scale: a short name's, as the table shows it.
    EXPECT_EQ(matchGameFast("只狼", *index, matchThreshold(4), scratch).front().score, shownCleanedScore(kShortNameScore));
}

// Real pool rows (derived/pool_real.csv): the sides of a Chinese name listing alternatives, and
// the Chinese name an entry borrows from the longest English name it extends up to a word's end.
TEST(LibraryCleaned, ExtraNames) {
    const std::vector<PoolItem> pool = {
        {251150, "The Legend of Heroes: Trails in the Sky", "英雄传说：空之轨迹", ""},
        {251290, "The Legend of Heroes: Trails in the Sky SC", "", ""},
        {3599, "Plants vs. Zombies", "植物大战僵尸", ""}, {3590, "Plants vs. Zombies: Game of the Year", "", ""},
        {400, "Portal", "传送门", ""}, {374040, "Portal Knights", "传送门骑士", ""},
        {617100, "Portal Knights - Gold Throne Pack", "", ""},  // an add-on's long name: none
        {617110, "Portal Knights - Bibot Box", "", ""},
        {2320, "Quake II", "雷神之锤2", ""}, {2200, "Quake III Arena", "", ""},  // not at a word's end
        {225360, "DARK", "黑暗", ""}, {919, "Dark Messiah: Warrior", "", ""},    // too short to lend
        {259170, "Alone in the Dark", "鬼屋魔影 重制版", ""}, {1310410, "Alone in the Dark", "鬼屋魔影", ""},
        {259190, "Alone in the Dark: The New Nightmare", "", ""},  // two bases, two Chinese names
        {275060, "Alone in the Dark: Illumination", "鬼屋魔影 启蒙", ""},
        {330040, "Alone in the Dark: Illumination - Eldritch Edition", "", ""},
        {271590, "Grand Theft Auto V", "Grand Theft Auto V 传承版", "gta5"},
        {362003, "Grand Theft Auto V™", "", ""},  // the whole name: nothing to add
        {831560, "WARRIORS OROCHI 4 - 無双OROCHI３", "WARRIORS OROCHI 4 / 無雙OROCHI 蛇魔３", ""},
    };
    const std::vector<std::tuple<int32_t, std::string, bool>> want = {
        {251290, "英雄传说：空之轨迹 SC", true},
        {3590, "植物大战僵尸 : Game of the Year", true},
        {617110, "传送门骑士 - Bibot Box", true},
        {330040, "鬼屋魔影 启蒙 - Eldritch Edition", true},
        {831560, "WARRIORS OROCHI 4", false},
        {831560, "無雙OROCHI 蛇魔３", false},
    };
    std::vector<std::tuple<int32_t, std::string, bool>> got;
    for (const ExtraName& x : extraNames(pool)) got.emplace_back(pool[x.entry].appid, x.text, x.borrowed);
    EXPECT_EQ(got, want);
    // Add-on platforms, their add-ons named as the store names them: a base that 17 listings
    // extend lends its name to none, one that 16 extend to each.
    std::vector<PoolItem> platforms = {{24010, "Train Simulator", "模拟列车", ""}, {205190, "Rocksmith", "摇滚史密斯", ""}};
    std::vector<std::tuple<int32_t, std::string, bool>> lent;
    for (int32_t k = 1; k <= 17; ++k) {
        const std::string n = std::to_string(k);
        if (k <= 16) {
            platforms.push_back({258600 + k, "Train Simulator: Route " + n, "", ""});
            lent.emplace_back(258600 + k, "模拟列车 : Route " + n, true);
        }
        platforms.push_back({509600 + k, "Rocksmith® 2014 Edition – Remastered – Song " + n, "", ""});
    }
    got.clear();
    for (const ExtraName& x : extraNames(platforms)) got.emplace_back(platforms[x.entry].appid, x.text, x.borrowed);
    EXPECT_EQ(got, lent);
}

// The cut of near ties and the 精确 boundary on real listings' names.
TEST(LibraryCleaned, NearTiesAndTheExactBoundary) {
    struct Case {
        std::vector<MatchCandidate> sorted;
        std::vector<int32_t> ranks;  // by position; empty: no ranking
        int32_t first;               // 0: cleared
    };
    const MatchCandidate portal2{620, "Portal 2", "", 0.9f}, alpha{34010, "Alpha Protocol", "", 1.0f},
        alphaAgain{34019, "Alpha Protocol", "", 1.0f};
    const auto with = [](MatchCandidate c, float score) { return c.score = score, c; };
    const Case cases[] = {
        {{portal2, {400, "Portal", "", 0.885f}}, {}, 0},       // within the margin: no guess
        {{portal2, {400, "Portal", "", 0.875f}}, {}, 620},     // just outside it
        {{alpha, alphaAgain}, {}, 34019},                      // one name listed twice: the newer
        {{with(portal2, 1.0f), {400, "Portal", "", 1.0f}}, {5, 6}, 400},  // the higher rank
        {{with(portal2, 1.0f), {400, "Portal", "", 1.0f}}, {5, 5}, 0},
        {{with(portal2, 0.9f), {400, "Portal", "", 0.9f}}, {0, 0}, 0},     // no rank above 0: no guess
    };
    for (const Case& c : cases) {
        std::vector<MatchCandidate> v = c.sorted;
        cutNearTies(v, c.ranks.empty() ? RankOf() : RankOf([&](int32_t appid) {
            for (size_t i = 0; i < c.sorted.size(); ++i)
                if (c.sorted[i].appid == appid) return c.ranks[i];
            return 0;
        }));
        EXPECT_EQ(v.empty() ? 0 : v.front().appid, c.first) << c.sorted[1].score;
    }
    const std::pair<float, const char*> methods[] = {{1.0f, "精确"}, {0.999f, "精确"}, {0.998f, "模糊"}, {0.5f, "模糊"}};
    for (const auto& [score, method] : methods) {
        GameInfo row;
        installLocalResult(row, {MatchCandidate{1, "x", "", score}});
        EXPECT_EQ(row.matchMethod, method) << score;
    }
}

// --- the fast path against the straightforward evaluation

TEST(LibraryFastPath, MatchesReferenceOnRealTitlesAtEveryThreshold) {
    std::vector<PoolItem> pool;
    std::string err;
    ASSERT_TRUE(loadTranslatedCsv(std::string(KB_TEST_DATA_DIR) + "/local/pool_sample.csv", pool, err)) << err;
    std::vector<std::string> titles;
    std::ifstream in(std::string(KB_TEST_DATA_DIR) + "/local/menu_sample.txt");
    for (std::string l; std::getline(in, l);) titles.push_back(l);
    std::mt19937 rng(1234);
    std::shuffle(titles.begin(), titles.end(), rng);
    titles.resize(60);
    // Titles near pool entries: a suffix or numeral added, or both names (letter-level near misses
    // are RandomPoolsAndLongFields' part).
    const char* suffixes[] = {" 2", " II", "4", " Remastered", "：起源", " 豪华版", "十五", "XV", " Demo"};
    for (int i = 0; i < 60; ++i) {
        const PoolItem& e = pool[rng() % pool.size()];
        titles.push_back(rng() % 2 ? e.name + suffixes[rng() % 9] : e.name_cn + " " + e.name);
    }
    titles.insert(titles.end(), {"", "a", "4", "II", "生", "生化", "最终幻想XV Final Fantasy XV", "老头环",
                                 "三國志13 威力加強版", "原子之心 v1.0-v1.14.4.0 二十九项修改器", "Zzzz 觅"});
    MatchScratch scratch;
    for (const bool clean : {false, true}) {
        const PoolIndexPtr index = buildPoolIndex(pool, clean);
        for (int32_t ti = -1; ti <= 6; ++ti) {
            const float t = ti < 0 ? 0.0f : matchThreshold(ti);  // 0: every entry is a candidate
            // Low thresholds are the slow end of the reference; a subset keeps the test short.
            const size_t count = ti < 0 ? 4 : ti < 2 || clean ? titles.size() / 3 : titles.size();
            for (size_t i = 0; i < count; ++i)
                expectSameResult(titles[(i * 7 + static_cast<size_t>(ti)) % titles.size()], pool, *index, t, clean,
                                 scratch);
        }
    }
}

TEST(LibraryFastPath, RandomPoolsAndLongFields) {
    // Small random pools over a tiny alphabet, so that near-misses at every bound are common.
    std::mt19937 rng(42);
    const std::vector<std::string> atoms = {"a", "b", "ab", "x", "1", "2", " ", "生", "化", "危", "机", "四",
                                            "IV", "V", "X", "Ⅳ", "：", "-", "老", "头", "环", "十", "五"};
    auto randomText = [&](size_t maxAtoms) {
        std::string s;
        for (size_t i = rng() % (maxAtoms + 1); i > 0; --i) s += atoms[rng() % atoms.size()];
        return s;
    };
    MatchScratch scratch;
    for (int round = 0; round < 20; ++round) {
        std::vector<PoolItem> pool;
        for (int i = 0; i < 300; ++i) {
            pool.push_back(PoolItem{1 + static_cast<int32_t>(rng() % 150), randomText(10), randomText(8),
                                    rng() % 4 == 0 ? randomText(5) : std::string()});
            // Editions and add-ons borrowing a Chinese name; names listing alternatives.
            if (i > 0 && rng() % 3 == 0) pool.back().name = pool[rng() % i].name + " " + randomText(3), pool.back().name_cn.clear();
            if (rng() % 8 == 0) pool.back().name_cn += " / " + randomText(4);
        }
        const bool clean = round % 2 == 1;
        const PoolIndexPtr index = buildPoolIndex(pool, clean);
        for (int g = 0; g < 40; ++g) {
            // Half the titles pair an entry's Chinese name with Latin words: byte-equal parts.
            const PoolItem& e = pool[rng() % pool.size()];
            const std::string title = g % 2 ? randomText(12) : "abab" + randomText(6) + " " + e.name_cn;
            expectSameResult(title, pool, *index, matchThreshold(static_cast<int32_t>(rng() % 7)), clean, scratch);
        }
    }
    // One character repeated beyond 16-bit counts.
    std::string many;
    for (int i = 0; i < 100000; ++i) many += "生";
    const std::vector<PoolItem> pool = {{1, "Many", many, ""}, {2, "Other", "生化", ""}};
    for (const bool clean : {false, true}) {
        const PoolIndexPtr index = buildPoolIndex(pool, clean);
        expectSameResult(many + "化", pool, *index, 0.9f, clean, scratch);
        EXPECT_FALSE(matchGameFast(many + "化", *index, 0.9f, scratch).empty());
    }
}

}  // namespace
