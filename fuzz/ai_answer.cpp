// libFuzzer target: an AI answer through the analysis, the merge of the write-back, and the
// chat body scanners. Any answer must analyse cleanly and only ever preview whitelist text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ai/analysis.h"
#include "ai/chat.h"
#include "data/game.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

const std::vector<std::string> kWhitelist = {"动作", "冒险", "RPG", " 射击 ", "《》", "手柄"};

std::vector<GameInfo> makeGames() {
    std::vector<GameInfo> v;
    for (const char* n : {"塞尔达传说", "Portal 2", "", "《空洞骑士》", "dup", "DUP", "a=b"}) {
        GameInfo g;
        g.name = n;
        g.category = "动作|旧";
        v.push_back(g);
    }
    return v;
}

// Every '|'-separated piece of a preview is a whitelist entry, taken as it stands.
bool onlyWhitelist(const std::string& preview) {
    if (preview.empty()) return true;
    size_t begin = 0;
    for (;;) {
        size_t bar = preview.find('|', begin);
        const std::string piece = preview.substr(begin, bar == std::string::npos ? std::string::npos : bar - begin);
        bool known = false;
        for (const std::string& w : kWhitelist) known = known || w == piece;
        if (!known) return false;
        if (bar == std::string::npos) return true;
        begin = bar + 1;
    }
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    static const std::vector<GameInfo> GAMES = makeGames();
    std::vector<std::string> previews(GAMES.size() - 1, "x");  // one row without a slot
    const AnalysisCounts c = analyzeAiAnswer(text, GAMES, kWhitelist, previews);
    check(previews.size() == GAMES.size() - 1);
    check(c.matched <= c.parsed && c.dropped >= 0 && c.invalid == (c.parsed == 0));
    for (const std::string& p : previews) {
        check(onlyWhitelist(p));
        const std::string merged = mergeCategories("动作|旧", p);
        check(merged.rfind("动作|旧", 0) == 0);
    }
    (void)mergeCategories(text, text);

    const std::string content = extractChatContent(text);
    const std::string finish = extractFinishReason(text);
    check(finish.find('"') == std::string::npos);
    // Plain ASCII without zero bytes decodes to valid UTF-8 without zero bytes.
    bool plain = true;
    for (unsigned char ch : text) plain = plain && ch != 0 && ch < 0x80;
    if (plain) {
        const std::string decoded = decodeChatString(text);
        check(validUtf8(decoded) && decoded.find('\0') == std::string::npos);
        check(validUtf8(content) && content.find('\0') == std::string::npos);
    }
    return 0;
}
