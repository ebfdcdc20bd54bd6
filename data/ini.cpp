#include "data/ini.h"

#include <fstream>
#include <sstream>

#include "data/files.h"
#include "data/paths.h"

std::vector<std::string> gCategoryList;

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
                size_t end = bar == std::string::npos ? rest.size() : bar;
                if (end > start) out.push_back(rest.substr(start, end - start));
                if (bar == std::string::npos) break;
                start = bar + 1;
            }
            break;
        }
    }
    return out;
}

void loadCategoriesFromIni() {
    gCategoryList.clear();
    std::ifstream in(pathFromUtf8(getExeDir() + "set.ini"), std::ios::binary);
    if (!in) return;
    std::ostringstream ss;
    ss << in.rdbuf();
    gCategoryList = parseCategoriesIni(ss.str());
}
