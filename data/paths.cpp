#include "data/paths.h"

#include <cstdint>
#include <mutex>
#include <vector>

#include "data/files.h"
#include "data/game.h"

namespace {

// wchar_t is UTF-16 on Windows (characters past U+FFFF take a surrogate pair) and UTF-32 elsewhere.
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

void appendCodePoint(std::wstring& out, char32_t cp) {
    if (kWideIsUtf16 && cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

}  // namespace

std::wstring utf8ToWide(const std::string& s) {
    std::wstring out;
    const size_t n = s.find('\0') == std::string::npos ? s.size() : s.find('\0');
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    size_t i = 0;
    while (i < n) {
        unsigned char c = b[i];
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        char32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = len != 0 && i + static_cast<size_t>(len) <= n;
        for (int k = 1; ok && k < len; ++k) {
            unsigned char cc = b[i + static_cast<size_t>(k)];
            if ((cc & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed too.
        if (ok && ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
                   (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF))
            ok = false;
        if (ok) {
            appendCodePoint(out, cp);
            i += static_cast<size_t>(len);
        } else {
            out.push_back(L'\xFFFD');
            ++i;
        }
    }
    return out;
}

std::string wideToUtf8(const std::wstring& w) {
    std::string out;
    for (size_t i = 0; i < w.size(); ++i) {
        auto cp = static_cast<uint32_t>(w[i]) & (kWideIsUtf16 ? 0xFFFFu : 0xFFFFFFFFu);
        if (kWideIsUtf16 && cp >= 0xD800 && cp <= 0xDBFF && i + 1 < w.size()) {
            const auto lo = static_cast<uint32_t>(w[i + 1]) & 0xFFFFu;
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

namespace {
std::mutex gClipMtx;
std::function<std::string()> gClipReader;
std::function<void(const std::string&)> gClipWriter;
}  // namespace

std::string readFromClipboard() {
    std::lock_guard<std::mutex> lk(gClipMtx);
    return gClipReader ? gClipReader() : std::string();
}

void writeToClipboard(const std::string& utf8) {
    std::lock_guard<std::mutex> lk(gClipMtx);
    if (gClipWriter) gClipWriter(utf8);
}

void setClipboardBackend(std::function<std::string()> reader, std::function<void(const std::string&)> writer) {
    std::lock_guard<std::mutex> lk(gClipMtx);
    gClipReader = std::move(reader);
    gClipWriter = std::move(writer);
}

bool isSafeFolderName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || c == '\\' || c == '\0') return false;
    return true;
}

std::string mediaRoot() { return getExeDir() + "media/"; }

void scanMediaCounts(GameInfo& g) {
    g.imageCount = 0;
    g.textCount = 0;
    if (!isSafeFolderName(g.name)) return;
    std::vector<DirEntry> entries;
    std::string err;
    if (!listDirUtf8(mediaRoot() + g.name + "/", entries, err)) return;
    static const char* const kImageExts[] = {".jpg", ".jpeg", ".png", ".bmp", ".webp", ".avif", ".gif"};
    for (const DirEntry& e : entries) {
        if (e.isDir) continue;
        const size_t dot = e.name.rfind('.');
        if (dot == std::string::npos) continue;
        std::string ext = e.name.substr(dot);
        for (char& c : ext)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        bool image = false;
        for (const char* x : kImageExts) image = image || ext == x;
        if (image) ++g.imageCount;
        else if (ext == ".txt") ++g.textCount;
    }
}
