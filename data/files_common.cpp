// The parts of data/files.h that need no platform call of their own.
#include "data/files.h"

#include <cerrno>
#include <cstdio>

bool readFileBinaryUtf8(const std::string& path, std::string& data, std::string& err) {
    data.clear();
    FILE* f = openFileUtf8(path, "rb");
    if (!f) {
        err = "打开文件失败 path=" + path + " errno=" + std::to_string(errno);
        return false;
    }
    char buf[65536];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) err = "读取文件失败 path=" + path;
    return ok;
}
