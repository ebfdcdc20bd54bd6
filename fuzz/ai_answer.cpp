// libFuzzer target: an AI answer through the analysis, the merge of the write-back, and the
// chat body scanners. Any answer must analyse cleanly and only ever preview whitelist text.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ai/analysis.h"
#include "ai/chat.h"
#include "data/utf8.h"
#include "data/game.h"
#include "fuzz/check.h"

using fuzzcheck::check;

namespace {

const std::vector<std::string> kWhitelist = {"动作", "冒险", "RPG", " 射击 ", "《》", "手柄"};

std::vector<GameInfo> makeGames() {
    std::vector<GameInfo> v;
    for (const char* n : {"塞尔达传说", "Portal 2", "", "《空洞骑士》", "dup", "DUP", "a=b"}) {
        v.emplace_back();
        v.back().name = n;
        v.back().category = "动作|旧";
    }
    return v;
}

// Every '|'-separated piece of a preview is a whitelist entry, taken as it stands.
bool onlyWhitelist(const std::string& preview) {
    for (size_t begin = 0, bar = 0; !preview.empty() && bar != std::string::npos; begin = bar + 1) {
        bar = preview.find('|', begin);
        const std::string piece = preview.substr(begin, bar - begin);
        if (std::find(kWhitelist.begin(), kWhitelist.end(), piece) == kWhitelist.end()) return false;
    }
    return true;
}

// Well-formed UTF-8 (no surrogates, no overlong forms) without zero bytes.
bool cleanUtf8(const std::string& s) { return isValidUtf8(s) && s.find('\0') == std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    static const std::vector<GameInfo> kGames = makeGames();
    std::vector<std::string> previews(kGames.size() - 1, "x");  // one row without a slot
    const AnalysisCounts c = analyzeAiAnswer(text, kGames, kWhitelist, previews);
    check(previews.size() == kGames.size() - 1);
    check(c.matched <= c.parsed && c.dropped >= 0 && c.invalid == (c.parsed == 0));
    for (const std::string& p : previews)
        check(onlyWhitelist(p) && mergeCategories("动作|旧", p).rfind("动作|旧", 0) == 0);
    (void)mergeCategories(text, text);

    const std::string content = extractChatContent(text);
    check(extractFinishReason(text).find('"') == std::string::npos);
    // Plain ASCII without zero bytes decodes to valid UTF-8 without zero bytes.
    if (std::all_of(text.begin(), text.end(), [](unsigned char ch) { return ch != 0 && ch < 0x80; }))
        check(cleanUtf8(decodeChatString(text)) && cleanUtf8(content));
    return 0;
}
