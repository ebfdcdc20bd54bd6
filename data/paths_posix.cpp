// The platform part of data/paths.h on Linux and other POSIX systems.
#include "data/paths.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

std::string getExeDir() {
    if (const char* env = std::getenv("KESTRELBOX_DIR"); env && *env) {
        std::string d(env);
        if (d.back() != '/') d.push_back('/');
        return d;
    }
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return std::string();
    std::string p(buf, static_cast<size_t>(n));
    size_t slash = p.find_last_of('/');
    if (slash != std::string::npos) p.erase(slash + 1);
    return p;
}
