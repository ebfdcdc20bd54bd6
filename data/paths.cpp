#include "data/paths.h"

#include <cstdint>
#include <mutex>
#include <vector>

#include "data/utf8.h"
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
    const std::string_view v(s.data(), s.find('\0') == std::string::npos ? s.size() : s.find('\0'));
    for (size_t i = 0; i < v.size();) {
        char32_t cp = 0;
        const size_t len = decodeUtf8Char(v, i, cp);
        if (len) appendCodePoint(out, cp);
        else out.push_back(L'\xFFFD');
        i += len ? len : 1;
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
        appendUtf8(out, cp);
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

namespace {

bool windowsDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();  // "CON .txt" is CON too
    for (char& c : base)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* d : kDevices)
        if (base == d) return true;
    return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) && base[3] >= '1' &&
           base[3] <= '9';
}

// The folder a Windows path names by component c, empty when c is refused: Windows drops the
// trailing dots and blanks of every component, so the menu opens "S.T.A.L.K.E.R." as
// "S.T.A.L.K.E.R"; every platform uses that folder, so the counts and the menu agree.
std::string windowsComponent(std::string c) {
    if (c == "." || c == "..") return std::string();
    while (!c.empty() && (c.back() == '.' || c.back() == ' ')) c.pop_back();
    return windowsDeviceName(c) ? std::string() : c;
}

}  // namespace

bool mediaRelativePath(const std::string& name, std::string& rel) {
    rel.clear();
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (name.size() >= 2 && letter(name[0]) && name[1] == ':') return false;
    size_t start = 0;
    for (;;) {
        const size_t sep = name.find_first_of("/\\", start);
        const std::string c =
            windowsComponent(name.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (c.empty()) return false;
        rel += c;
        if (sep == std::string::npos) return true;
        rel += '/';
        start = sep + 1;
    }
}

std::string mediaRoot() { return getExeDir() + "media/"; }

std::string lowerExtension(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : fileName.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

bool isImageExtension(const std::string& ext) {
    static const char* const kImageExts[] = {".jpg", ".jpeg", ".png", ".bmp", ".webp", ".avif", ".gif"};
    for (const char* x : kImageExts)
        if (ext == x) return true;
    return false;
}

void scanMediaCounts(GameInfo& g) {
    g.imageCount = 0;
    g.textCount = 0;
    std::string rel;
    if (!mediaRelativePath(g.name, rel)) return;
    std::vector<DirEntry> entries;
    std::string err;
    if (!listDirUtf8(mediaRoot() + rel + "/", entries, err)) return;
    for (const DirEntry& e : entries) {
        if (e.isDir) continue;
        const std::string ext = lowerExtension(e.name);
        if (isImageExtension(ext)) ++g.imageCount;
        else if (ext == ".txt") ++g.textCount;
    }
}
