#include "steam/info_text.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "steam/json.h"

namespace {

bool isBlankByte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string joinStringArray(const JsonValue* v, const std::string& sep) {
    std::string out;
    if (!v || v->type != JsonType::Array) return out;
    for (const JsonValue& item : v->arrayItems) {
        if (item.type != JsonType::String) continue;
        if (!out.empty()) out += sep;
        out += item.stringValue;
    }
    return out;
}

// Items are objects such as {"id":"1","description":"Action"}; only the description is kept.
std::string joinDescriptionArray(const JsonValue* v, const std::string& sep) {
    std::string out;
    if (!v || v->type != JsonType::Array) return out;
    for (const JsonValue& item : v->arrayItems) {
        if (item.type != JsonType::Object) continue;
        const JsonValue* d = item.find("description");
        if (!d || d->type != JsonType::String) continue;
        if (!out.empty()) out += sep;
        out += d->stringValue;
    }
    return out;
}

void addPlatformIf(const JsonValue* platforms, std::vector<std::string>& labels, const std::string& key,
                   const std::string& label) {
    if (!platforms || platforms->type != JsonType::Object) return;
    const JsonValue* v = platforms->find(key);
    if (v && v->type == JsonType::Bool && v->boolValue) labels.push_back(label);
}

const JsonValue* stringMember(const JsonValue& obj, const char* key) {
    const JsonValue* v = obj.find(key);
    return v && v->type == JsonType::String ? v : nullptr;
}

// Pass 1 of stripHtml: what a tag contributes to the text.
void appendForTag(std::string& s, const std::string& name) {
    if (name == "br" || name == "br/" || name == "/br" || name == "/p" || name == "tr" || name == "/tr") {
        s += '\n';
    } else if (name == "li") {
        while (!s.empty() && s.back() == '\n') s.pop_back();
        s += "\n- ";
    } else if (name == "h1" || name == "h2" || name == "h3" || name == "h4") {
        s += "\n\n";
    } else if (name == "/h1" || name == "/h2" || name == "/h3" || name == "/h4") {
        s += '\n';
    } else if (name == "td" || name == "/td") {
        s += '\t';
    }
}

// Pass 1 of stripHtml: an entity "&name;" (the text from '&' through ';' is `whole`).
void appendForEntity(std::string& s, const std::string& name, const std::string& whole) {
    if (name == "amp") s += '&';
    else if (name == "lt") s += '<';
    else if (name == "gt") s += '>';
    else if (name == "quot") s += '"';
    else if (name == "apos" || name == "#39") s += '\'';
    else if (name == "nbsp") s += ' ';
    else if (!name.empty() && name[0] == '#') {
        // At most 7 bytes follow the '#', so atoi cannot overflow.
        const int code = std::atoi(name.c_str() + 1);
        if (code >= 32 && code <= 127) s += static_cast<char>(code);
    } else {
        // Kept verbatim, except that a CR inside it goes like every other CR.
        for (char c : whole)
            if (c != '\r') s += c;
    }
}

std::string scanTagsAndEntities(const std::string& html) {
    std::string s;
    s.reserve(html.size());
    size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            const size_t gt = html.find('>', i);
            if (gt == std::string::npos) break;  // an unclosed tag swallows the rest
            const std::string tag = html.substr(i + 1, gt - i - 1);
            size_t end = 0;
            while (end < tag.size() && !isBlankByte(tag[end])) ++end;
            std::string name = tag.substr(0, end);
            for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            appendForTag(s, name);
            i = gt + 1;
        } else if (c == '&') {
            const size_t semi = html.find(';', i);
            if (semi == std::string::npos || semi - i > 8) {
                s += '&';
                ++i;
                continue;
            }
            appendForEntity(s, html.substr(i + 1, semi - i - 1), html.substr(i, semi - i + 1));
            i = semi + 1;
        } else {
            if (c != '\r') s += c;
            ++i;
        }
    }
    return s;
}

std::string collapseLineFeeds(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != '\n' || out.empty() || out.back() != '\n') out += c;
    return out;
}

// After a line feed, a following run of blanks/tabs/LFs that holds another LF is a blank
// line: it goes together with the next line's indentation.
std::string dropBlankLines(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i++];
        out += c;
        if (c != '\n') continue;
        size_t j = i;
        bool sawLf = false;
        while (j < s.size() && (s[j] == ' ' || s[j] == '\t' || s[j] == '\n')) {
            sawLf = sawLf || s[j] == '\n';
            ++j;
        }
        if (sawLf) i = j;
    }
    return out;
}

std::string trimBlank(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlankByte(s[b])) ++b;
    while (e > b && isBlankByte(s[e - 1])) --e;
    return s.substr(b, e - b);
}

}  // namespace

std::string stripHtml(const std::string& html) {
    return trimBlank(dropBlankLines(collapseLineFeeds(scanTagsAndEntities(html))));
}

std::string stripRequirementPrefix(std::string text) {
    static const std::vector<std::string> prefixes = {
        "最低配置:", "最低配置：", "最低要求:", "最低要求：", "推荐配置:",
        "推荐配置：", "推荐要求:", "推荐要求：", "Minimum:",  "Recommended:",
    };
    for (const std::string& p : prefixes) {
        if (text.compare(0, p.size(), p) != 0) continue;
        size_t i = p.size();
        while (i < text.size() && isBlankByte(text[i])) ++i;
        text.erase(0, i);
        break;
    }
    return text;
}

namespace {

void appendHeader(std::string& out, const JsonValue& data, const std::string& fallbackName) {
    const JsonValue* nameV = stringMember(data, "name");
    std::string name = nameV ? nameV->stringValue : std::string();
    if (name.empty()) name = fallbackName;
    std::string date;
    if (const JsonValue* rd = data.find("release_date"))
        if (const JsonValue* d = rd->type == JsonType::Object ? stringMember(*rd, "date") : nullptr)
            date = d->stringValue;
    out += name;
    if (!date.empty()) out += '\t' + date;
    out += '\n';

    const std::string developers = joinStringArray(data.find("developers"), " / ");
    const std::string publishers = joinStringArray(data.find("publishers"), " / ");
    if (!developers.empty()) out += "开发商: " + developers + "\n";
    if (!publishers.empty()) out += "发行商: " + publishers + "\n";
    const std::string genres = joinDescriptionArray(data.find("genres"), " / ");
    const std::string categories = joinDescriptionArray(data.find("categories"), " / ");
    if (!genres.empty()) out += "题材: " + genres + "\n";
    if (!categories.empty()) out += "分类: " + categories + "\n";

    if (const JsonValue* platforms = data.find("platforms")) {
        std::vector<std::string> labels;
        addPlatformIf(platforms, labels, "windows", "Windows");
        addPlatformIf(platforms, labels, "mac", "macOS");
        addPlatformIf(platforms, labels, "linux", "Linux");
        if (!labels.empty()) {
            out += "平台: ";
            for (size_t k = 0; k < labels.size(); ++k) out += (k ? " / " : "") + labels[k];
            out += '\n';
        }
    }
}

void appendBody(std::string& out, const JsonValue& data) {
    if (const JsonValue* desc = stringMember(data, "detailed_description"); desc && !desc->stringValue.empty())
        out += "\n" + stripHtml(desc->stringValue) + "\n";
    // The store sends an empty array instead of an object when a title lists no requirements.
    const JsonValue* req = data.find("pc_requirements");
    if (!req || req->type != JsonType::Object) return;
    if (const JsonValue* min = stringMember(*req, "minimum"); min && !min->stringValue.empty())
        out += "\n最低配置\n" + stripRequirementPrefix(stripHtml(min->stringValue)) + "\n";
    if (const JsonValue* rec = stringMember(*req, "recommended"); rec && !rec->stringValue.empty())
        out += "\n推荐配置\n" + stripRequirementPrefix(stripHtml(rec->stringValue)) + "\n";
}

}  // namespace

std::string buildInfoTxt(const std::string& json, const std::string& fallbackName) {
    JsonParser parser(json);
    while (parser.pos < json.size() && isBlankByte(json[parser.pos])) ++parser.pos;
    JsonValue root;
    if (!parser.parseValue(root)) return fallbackName + "\n\n(JSON 解析失败: " + parser.error + ")\n";
    if (root.type != JsonType::Object || root.objectMembers.empty())
        return fallbackName + "\n\n(JSON 根结构异常)\n";
    const JsonValue* data = root.objectMembers.front().second.find("data");
    if (!data || data->type != JsonType::Object) return fallbackName + "\n\n(data 字段缺失或 success=false)\n";

    std::string out;
    appendHeader(out, *data, fallbackName);
    appendBody(out, *data);
    return out;
}
