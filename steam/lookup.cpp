#include "steam/lookup.h"

#include "data/jobs.h"
#include "match/score.h"
#include "steam/http.h"
#include "steam/store_api.h"

#include <climits>
#include <cstring>

int32_t gDlgTargetRow = -1;
bool gOpenDlgQueryByName = false;
bool gOpenDlgQueryByAppid = false;
char gDlgInputName[256] = {0};
char gDlgInputAppid[64] = {0};

std::string dlgStatusCopy() {
    std::lock_guard<std::mutex> lk(gDlgMtx);
    return gDlgStatus;
}

void setDlgStatus(const std::string& text) {
    std::lock_guard<std::mutex> lk(gDlgMtx);
    gDlgStatus = text;
}

void applyCandidatesToRow(int32_t row, std::vector<MatchCandidate> cands) {
    std::lock_guard<std::mutex> lk(gMatchMtx);
    if (row < 0 || static_cast<size_t>(row) >= dummyGames.size()) return;
    installCandidates(dummyGames[static_cast<size_t>(row)], std::move(cands), "手动查询");
}

std::string extractAppDetailsTitle(const std::string& body) {
    const size_t data = body.find("\"data\"");
    size_t p = body.find("\"name\"", data == std::string::npos ? 0 : data);
    if (p == std::string::npos) return {};
    p = body.find(':', p + 6);
    if (p == std::string::npos) return {};
    ++p;
    while (p < body.size() && (body[p] == ' ' || body[p] == '\t')) ++p;
    if (p >= body.size() || body[p] != '"') return {};
    ++p;
    std::string title;
    while (p < body.size() && body[p] != '"') {
        const char c = body[p];
        if (c != '\\' || p + 1 >= body.size()) {
            title += c;
            ++p;
            continue;
        }
        const char e = body[p + 1];
        if (e == '"' || e == '/' || e == '\\') title += e;
        else if (e == 'n') title += '\n';
        else if (e == 't') title += '\t';
        else {
            title += '\\';
            title += e;
        }
        p += 2;
    }
    return title;
}

int32_t parseAppidInput(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long v = 0;
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        digits = true;
        v = v * 10 + (*p - '0');
        if (v > INT_MAX) return 0;  // too large for an appid: treated like no number
    }
    if (!digits) return 0;
    return static_cast<int32_t>(negative ? -v : v);
}

void lookupByNameWork(std::string text, int32_t row) {
    std::vector<StoreItem> items;
    std::string body, err;
    NetClient client;
    if (httpsGetJson(kSteamStoreHost, storeSearchPath(text), body, err, nullptr, &gDlgCancel, &client))
        items = storeItemsFromSearch(body);
    std::vector<MatchCandidate> cands = rankStoreItems(text, items);
    const size_t n = cands.size();
    applyCandidatesToRow(row, std::move(cands));
    setDlgStatus(n == 0 ? "无结果" : "完成，共 " + std::to_string(n) + " 条");
    gDlgDone.store(true);
}

void lookupByAppidWork(int32_t appid, int32_t row, std::string gameName) {
    std::vector<StoreItem> items;
    std::string body, err;
    NetClient client;
    if (httpsGetJson(kSteamStoreHost, appDetailsPath(appid, "cn"), body, err, nullptr, &gDlgCancel, &client)) {
        std::string title = extractAppDetailsTitle(body);
        if (!title.empty()) items.push_back(StoreItem{appid, std::move(title)});
    }
    std::vector<MatchCandidate> cands = rankStoreItems(gameName, items);
    const bool found = !cands.empty();
    applyCandidatesToRow(row, std::move(cands));
    setDlgStatus(found ? "完成" : "未找到该编号或已下架");
    gDlgDone.store(true);
}

namespace {

template <class F>
void startLookup(F&& fn) {
    gDlgRunning = true;
    gDlgDone = false;
    setDlgStatus("正在查询...");
    // The previous lookup was collected (joined) before this dialog could start another;
    // joining here only covers a result that was never collected.
    startJobThread(gDlgThread, std::forward<F>(fn));
}

}  // namespace

bool confirmLookupByName() {
    if (gDlgRunning.load()) return false;
    std::string text(gDlgInputName, strnlen(gDlgInputName, sizeof gDlgInputName));
    const int32_t row = gDlgTargetRow;
    if (text.empty() || row < 0) return false;
    startLookup([text = std::move(text), row]() mutable { lookupByNameWork(std::move(text), row); });
    return true;
}

bool confirmLookupByAppid() {
    if (gDlgRunning.load()) return false;
    char buf[sizeof gDlgInputAppid];
    std::memcpy(buf, gDlgInputAppid, sizeof buf);
    buf[sizeof buf - 1] = '\0';
    const int32_t appid = parseAppidInput(buf);
    const int32_t row = gDlgTargetRow;
    if (appid <= 0 || row < 0) {
        setDlgStatus("请输入有效的 appid (正整数)");
        return false;
    }
    std::string name;
    if (static_cast<size_t>(row) < dummyGames.size()) {
        std::lock_guard<std::mutex> lk(gMatchMtx);
        name = dummyGames[static_cast<size_t>(row)].name;
    }
    startLookup([appid, row, name = std::move(name)]() mutable { lookupByAppidWork(appid, row, std::move(name)); });
    return true;
}

void cancelLookupDialog() { setDlgStatus(""); }

bool collectLookup() {
    if (!gDlgDone.load()) return false;
    if (gDlgThread.joinable()) gDlgThread.join();
    gDlgDone = false;
    gDlgRunning = false;
    setDlgStatus("");
    return true;
}
