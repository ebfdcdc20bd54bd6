#include "data/ini.h"

#include "data/encoding.h"
#include "data/files.h"
#include "data/paths.h"

std::vector<std::string> gCategoryList;

const char* const kNoCategoriesMessage =
    "set.ini 中没有可用的分类行（[Categories] 段中的 categories=分类1|分类2），分类白名单为空。";

std::vector<std::string> parseCategoriesIni(const std::string& text) {
    std::vector<std::string> out;
    bool inSection = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        size_t lead = line.find_first_not_of(" \t");
        if (lead == std::string::npos) continue;
        line.erase(0, lead);
        if (line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            inSection = line.rfind("[Categories]", 0) == 0;
            continue;
        }
        if (inSection && line.rfind("categories=", 0) == 0) {
            const std::string rest = line.substr(11);
            size_t start = 0;
            while (start <= rest.size()) {
                size_t bar = rest.find('|', start);
                const size_t end = bar == std::string::npos ? rest.size() : bar;
                // Kept as written, blanks included: the menu reads its own list that way, and a
                // category written into data.db must equal the menu's byte for byte.
                if (end > start) out.push_back(rest.substr(start, end - start));
                if (bar == std::string::npos) break;
                start = bar + 1;
            }
            break;
        }
    }
    return out;
}

std::string loadCategoriesFromIni() {
    gCategoryList.clear();
    std::string bytes, err, text;
    if (!readFileBinaryUtf8(getExeDir() + "set.ini", bytes, err)) return kNoCategoriesMessage;
    const std::string note = textFileNote("set.ini", decodeTextFile(bytes, text));
    gCategoryList = parseCategoriesIni(text);
    if (gCategoryList.empty()) return note.empty() ? kNoCategoriesMessage : note + " " + kNoCategoriesMessage;
    return note;
}
