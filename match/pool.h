// The translated title pool: Steam games with their English title, Chinese title and a
// nickname, read from kbdata.csv or the encrypted kbdata.db beside the program.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PoolItem {
    int32_t appid = 0;      // > 0 in a loaded pool
    std::string name;       // English title
    std::string name_cn;    // Chinese title, may be empty
    std::string nickname;   // alternative name, may be empty
};

// Passphrase of kbdata.db (passed to sqlite3_key with its length, 32).
extern const char kPoolDbKey[];

// Both loaders clear the pool and fill it in file order. They return true when at least one
// entry was loaded; on false err holds the reason and, when the file could not be opened at
// all, the pool is left as it was. Strings are kept byte for byte.
// kbdata.csv may be UTF-8 (a byte-order mark is skipped) or GBK; note, when given, receives
// the status line's word on a file that was not UTF-8 (empty otherwise).
bool loadTranslatedCsv(const std::string& path, std::vector<PoolItem>& pool, std::string& err,
                       std::string* note = nullptr);
bool loadTranslatedDb(const std::string& path, std::vector<PoolItem>& pool, std::string& err);

// One CSV line split by the pool's quoting rules (text after a closing quote becomes a field of
// its own; a comma at the very end ends an empty last field).
std::vector<std::string> splitPoolCsvLine(const std::string& line);
// atoi semantics without undefined behaviour on overflow (saturates to the int32 range).
int32_t poolAtoi(const std::string& s);
