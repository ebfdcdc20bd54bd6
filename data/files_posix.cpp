#include "data/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

std::string slashes(std::string p) {
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

std::string tempNameFor(const std::string& path) {
    static std::atomic<uint64_t> counter{0};
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    // A leading dot and a non-media extension keep an unfinished file out of the media counts.
    return dir + "." + base + "." + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".part";
}

}  // namespace

bool isQuotaError(const std::error_code& ec) { return ec.value() == EDQUOT; }

int errnoOfSystemError(unsigned long code) { return static_cast<int>(code); }

namespace {
// The readable reason that ends every message below.
std::string inBrackets(int e) { return "（" + systemErrorReason(static_cast<unsigned long>(e)) + "）"; }
}  // namespace

bool listDirUtf8(const std::string& dir, std::vector<DirEntry>& out, std::string& err) {
    out.clear();
    std::string d = slashes(dir);
    if (!d.empty() && d.back() != '/') d += '/';
    DIR* h = opendir(d.c_str());
    if (!h) {
        const int e = errno;
        err = "打开目录失败 path=" + dir + inBrackets(e);
        return false;
    }
    while (dirent* e = readdir(h)) {
        const std::string fn = e->d_name;
        if (fn == "." || fn == "..") continue;
        struct stat st {};
        const bool isDir = ::stat((d + fn).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        out.push_back({fn, isDir});
    }
    closedir(h);
    return true;
}

bool isDirUtf8(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(slashes(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ensureDirUtf8(const std::string& path, std::string& err) {
    if (path.empty()) {
        err = "空路径";
        return false;
    }
    const std::string p = slashes(path);
    for (size_t i = 1; i < p.size(); ++i)
        if (p[i] == '/') ::mkdir(p.substr(0, i + 1).c_str(), 0777);  // existing parents simply fail
    if (::mkdir(p.c_str(), 0777) == 0) return true;
    int e = errno;
    if (e == EEXIST) {
        if (isDirUtf8(p)) return true;
        e = ENOTDIR;  // a file where the folder should be
    }
    err = "CreateDirectory 失败 errno=" + std::to_string(e) + " path=" + path + inBrackets(e);
    return false;
}

std::FILE* openFileUtf8(const std::string& path, const char* mode) {
    const std::string p = slashes(path);
    if (std::string_view(mode) != "r" && std::string_view(mode) != "rb") return std::fopen(p.c_str(), mode);
    // Without O_NONBLOCK a pipe would wait here for a writer, and a device might never answer.
    const int fd = ::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        ::close(fd);
        errno = e;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) ::close(fd);
    return f;
}

bool writeFileBinaryUtf8(const std::string& pathIn, const std::string& data, std::string& err) {
    const std::string path = slashes(pathIn);
    std::string tmp;
    FILE* f = nullptr;
    for (int tries = 0; tries < 100 && !f; ++tries) {
        tmp = tempNameFor(path);
        f = std::fopen(tmp.c_str(), "wbx");  // exclusive: never reuse someone else's file
        if (!f && errno != EEXIST) break;
    }
    if (!f) {
        const int e = errno;
        err = "打开文件失败 path=" + pathIn + inBrackets(e);
        return false;
    }
    const size_t written = data.empty() ? 0 : std::fwrite(data.data(), 1, data.size(), f);
    int e = written < data.size() ? errno : 0;
    if (e == 0 && (std::fflush(f) != 0 || ::fsync(::fileno(f)) != 0)) e = errno;
    if (std::fclose(f) != 0 && e == 0) e = errno;
    if (written < data.size()) {
        ::unlink(tmp.c_str());
        err = "写入字节不完整 " + std::to_string(written) + "/" + std::to_string(data.size()) + " errno=" +
              std::to_string(e) + inBrackets(e);
        return false;
    }
    if (e != 0) {  // the last buffered bytes could not reach the disk
        ::unlink(tmp.c_str());
        err = "写入失败 errno=" + std::to_string(e) + " path=" + pathIn + inBrackets(e);
        return false;
    }
    // rename() replaces a link at the target instead of following it.
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        e = errno;
        ::unlink(tmp.c_str());
        err = "重命名失败 errno=" + std::to_string(e) + " path=" + pathIn + inBrackets(e);
        return false;
    }
    return true;
}

std::string findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path) return std::string();
    const std::string all(path);
    size_t start = 0;
    while (start <= all.size()) {
        const size_t end = std::min(all.find(':', start), all.size());
        std::string dir = all.substr(start, end - start);
        if (dir.empty()) dir = ".";  // an empty PATH entry means the current folder
        const std::string full = dir.back() == '/' ? dir + program : dir + "/" + program;
        struct stat st {};
        if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(full.c_str(), X_OK) == 0) return full;
        start = end + 1;
    }
    return std::string();
}
