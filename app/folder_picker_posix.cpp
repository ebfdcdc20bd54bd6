// The desktop's own folder dialog on POSIX desktops: zenity or kdialog, run through /bin/sh.
#include "app/folder_picker.h"

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "data/files.h"

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out.push_back(c);
    }
    return out + "'";
}

std::string systemFolderDialogCommand(const std::string& title, const std::string& startDir) {
    std::string start = startDir;
    if (!start.empty() && start.back() != '/') start.push_back('/');
    if (std::string z = findOnPath("zenity"); !z.empty())
        return shellQuote(z) + " --file-selection --directory --title=" + shellQuote(title) +
               (start.empty() ? "" : " --filename=" + shellQuote(start)) + " 2>/dev/null";
    if (std::string k = findOnPath("kdialog"); !k.empty())
        return shellQuote(k) + " --title " + shellQuote(title) + " --getexistingdirectory " +
               shellQuote(start.empty() ? "." : start) + " 2>/dev/null";
    return std::string();
}

bool runSystemFolderDialog(const std::string& title, const std::string& startDir, std::string& chosen) {
    chosen.clear();
    const std::string cmd = systemFolderDialogCommand(title, startDir);
    if (cmd.empty()) return false;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int status = pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    // Exit status 1 is "cancelled"; anything else that is not a success leaves the field alone.
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && !out.empty()) chosen = out;
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 127) return false;  // shell could not run it
    return true;
}
