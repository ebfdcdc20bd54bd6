#include "match/pool.h"

#include <sqlite3.h>

#include <climits>
#include <sstream>

#include "data/encoding.h"
#include "data/files.h"

const char kPoolDbKey[] = "Rb4tW8nQ2kZ6mH1vY9cJ5pL3xF7gD0sE";

int32_t poolAtoi(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
    }
    if (neg) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    return static_cast<int32_t>(v);
}

std::vector<std::string> splitPoolCsvLine(const std::string& line) {
    std::vector<std::string> fields;
    size_t p = 0;
    const size_t n = line.size();
    bool afterComma = false;  // the last field ended with a separator
    while (p < n) {
        afterComma = false;
        std::string field;
        if (line[p] != '"') {
            size_t comma = line.find(',', p);
            if (comma == std::string::npos) {
                field = line.substr(p);
                p = n;
            } else {
                field = line.substr(p, comma - p);
                p = comma + 1;
                afterComma = true;
            }
        } else {
            ++p;
            while (p < n) {
                if (line[p] == '"') {
                    if (p + 1 < n && line[p + 1] == '"') {
                        field.push_back('"');
                        p += 2;
                        continue;
                    }
                    ++p;  // closing quote
                    if (p < n && line[p] == ',') {
                        ++p;
                        afterComma = true;
                    }
                    break;
                }
                field.push_back(line[p++]);
            }
        }
        fields.push_back(std::move(field));
    }
    // "10,Name,名称," has an empty nickname; without this field the row would be dropped.
    if (afterComma) fields.emplace_back();
    return fields;
}

bool loadTranslatedCsv(const std::string& path, std::vector<PoolItem>& pool, std::string& err, std::string* note) {
    std::string bytes, readErr, text;
    if (!readFileBinaryUtf8(path, bytes, readErr)) {
        err = "无法打开: " + path;
        return false;
    }
    // A file saved in the Chinese Windows code page would otherwise match nothing Chinese.
    const std::string how = textFileNote("kbdata.csv", decodeTextFile(bytes, text));
    if (note) *note = how;
    pool.clear();
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) {
            // The header is never data, whatever it holds.
            first = false;
            continue;
        }
        if (line.empty()) continue;
        std::vector<std::string> f = splitPoolCsvLine(line);
        if (f.size() < 4) continue;
        const int32_t appid = poolAtoi(f[0]);
        if (appid <= 0) continue;
        pool.push_back(PoolItem{appid, std::move(f[1]), std::move(f[2]), std::move(f[3])});
    }
    if (pool.empty()) {
        err = "CSV 内容为空或解析失败";
        return false;
    }
    return true;
}

namespace {
std::string columnText(sqlite3_stmt* st, int col) {
    const unsigned char* t = sqlite3_column_text(st, col);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(st, col)))
             : std::string();
}
}  // namespace

bool loadTranslatedDb(const std::string& path, std::vector<PoolItem>& pool, std::string& err) {
    sqlite3* db = nullptr;
    // Read-only: a missing file must not be created as an empty database.
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        err = "无法打开数据库: " + path;
        if (db) sqlite3_close(db);
        return false;
    }
    if (sqlite3_key(db, kPoolDbKey, 32) != SQLITE_OK) {
        err = "设置数据库密码失败";
        sqlite3_close(db);
        return false;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT appid, name, name_cn, nickname FROM games;", -1, &st, nullptr) != SQLITE_OK) {
        err = std::string("准备SQL失败: ") + sqlite3_errmsg(db);
        sqlite3_close(db);
        return false;
    }
    pool.clear();
    while (sqlite3_step(st) == SQLITE_ROW) {
        const int32_t appid = sqlite3_column_int(st, 0);
        if (appid <= 0) continue;
        pool.push_back(PoolItem{appid, columnText(st, 1), columnText(st, 2), columnText(st, 3)});
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (pool.empty()) {
        err = "数据库内容为空";
        return false;
    }
    return true;
}
