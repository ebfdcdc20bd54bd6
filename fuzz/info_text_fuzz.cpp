// Store answers and HTML fragments of any shape: buildInfoTxt and stripHtml must return a
// text (never crash or hang), and stripHtml's output must keep its shape.
#include <cstdint>
#include <string>

#include "fuzz/check.h"
#include "steam/info_text.h"

using fuzzcheck::check;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in(reinterpret_cast<const char*>(data), size);

    const std::string text = stripHtml(in);
    check(text.find("\n\n") == std::string::npos);
    check(text.find('\r') == std::string::npos);
    check(text.empty() || (!isBlank(text.front()) && !isBlank(text.back())));
    check(stripHtml(text).size() <= text.size() + 1);

    const std::string sheet = buildInfoTxt(in, "游戏");
    check(!sheet.empty() && sheet.back() == '\n');
    // A sheet always starts with the store name or the fallback one, never with a note.
    check(sheet.front() != '\n');

    stripRequirementPrefix(text);
    return 0;
}
