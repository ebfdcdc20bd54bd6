#include <iconv.h>

#include <cerrno>

#include "data/encoding.h"

bool gbkToUtf8(const std::string& gbk, std::string& utf8) {
    iconv_t cd = iconv_open("UTF-8", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    // One GBK character (1 or 2 bytes) never takes more than 3 UTF-8 bytes.
    std::string out(gbk.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(gbk.data());
    size_t inLeft = gbk.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    const bool ok = iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
    iconv_close(cd);
    if (!ok) return false;
    out.resize(out.size() - outLeft);
    utf8 = std::move(out);
    return true;
}
