// scoreMatch and safeAsContained on any two titles: scores in [0, 1] and the
// precomputed form bit-identical.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz/check.h"
#include "match/normalize.h"
#include "match/score.h"
#include "match/text.h"

using fuzzcheck::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    const bool isChinese = fdp.ConsumeBool();
    const std::string a = fdp.ConsumeRandomLengthString(512);
    const std::string b = fdp.ConsumeRemainingBytesAsString();

    const std::string na = normalizeForMatch(a);
    const std::string nb = normalizeForMatch(b);
    const auto ta = tokenizeUtf8(na);
    const auto tb = tokenizeUtf8(nb);
    const float s = scoreMatch(a, b, na, nb, ta, tb, isChinese);
    fuzzcheck::checkScore(s);

    const MatchText pa = prepareMatchText(a);
    const MatchText pb = prepareMatchText(b);
    check(fuzzcheck::sameBits(scoreMatchPrepared(pa, pb, isChinese), s));
    check(pa.tokens.size() == ta.size() && pa.norm == na);

    const bool safe = safeAsContained(a, ta, isChinese);
    if (isChinese) check(safe == (pa.wideTokens > 0));
    return 0;
}
