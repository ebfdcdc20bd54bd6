// Character classes and splitting on any bytes: every result is made of the
// input's own bytes, in order.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz/check.h"
#include "match/text.h"

using fuzzcheck::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string s(reinterpret_cast<const char*>(data), size);

    bool anyChinese = false;
    for (size_t i = 0; i <= s.size() + 1; ++i) {
        const unsigned char lead = i < s.size() ? static_cast<unsigned char>(s[i]) : 0xE4;
        const bool chinese = isChineseChar(lead, s, i);
        check(!chinese || (i < s.size() && i + 3 <= s.size()));
        anyChinese = anyChinese || chinese;
    }

    const int type = classifyNameType(s);
    check(type == NameType::English || anyChinese);

    std::string cn = "x", en = "y";
    splitCnEn(s, cn, en);
    check(cn.size() + en.size() <= s.size());
    for (char c : en) check(static_cast<unsigned char>(c) < 0x80);

    const auto [first, second] = splitNameToCnEn(s);
    check(first + second == s);
    if (type == NameType::English) check(first.empty());
    if (type == NameType::Chinese) check(second.empty());

    const auto tokens = tokenizeUtf8(s);
    std::string joined;
    for (const std::string& t : tokens) {
        check(!t.empty() && t.size() == utf8SeqLen(static_cast<unsigned char>(t[0])));
        joined += t;
    }
    check(s.compare(0, joined.size(), joined) == 0 && s.size() - joined.size() < 4);
    return 0;
}
