// compareChinese on any two byte strings: a score in [0, 1], bit-identical
// with precomputed keys, never above its bound, 1 for a title against itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz/match_check.h"
#include "match/compare.h"
#include "match/text.h"

using fuzzcheck::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    const std::string a = fdp.ConsumeRandomLengthString(512);
    const std::string b = fdp.ConsumeRemainingBytesAsString();

    const float s = compareChinese(a, b);
    fuzzcheck::checkScore(s);
    const ChineseKey ka = makeChineseKey(a);
    const ChineseKey kb = makeChineseKey(b);
    check(fuzzcheck::sameBits(compareChineseKeys(ka, kb), s));
    check(compareChineseBound(ka, kb) >= s);
    if (!a.empty()) check(compareChinese(a, a) == 1.0f);

    bool dropped = false;
    const std::string key = buildChineseKey(a, dropped);
    check(key.size() <= 3 * a.size());
    if (ka.comparable) {
        check(dropped == ka.latinDropped);
        const auto tokens = tokenizeUtf8(key);
        check(tokens.size() == ka.chars.size());
        for (size_t i = 0; i < tokens.size(); ++i)
            check(utf8PackChar(tokens[i].data(), tokens[i].size()) == ka.chars[i]);
    }
    return 0;
}
