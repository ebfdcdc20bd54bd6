#include "steam/store_api.h"

#include "steam/http.h"
#include "steam/json.h"

std::string storeSearchPath(const std::string& term) {
    return "/api/storesearch/?term=" + urlEncode(term) + "&l=schinese&cc=CN";
}

std::string appDetailsPath(int32_t appid, const std::string& cc) {
    return "/api/appdetails?appids=" + std::to_string(appid) + "&cc=" + cc + "&l=schinese";
}

std::string capsulePath(int32_t appid) { return "/steam/apps/" + std::to_string(appid) + "/capsule_616x353.jpg"; }

std::vector<StoreItem> storeItemsFromSearch(const std::string& body) {
    std::vector<std::pair<std::string, int32_t>> pairs;
    extractAllSteamItems(body, pairs);
    std::vector<StoreItem> items;
    items.reserve(pairs.size());
    for (auto& p : pairs) items.push_back(StoreItem{p.second, std::move(p.first)});
    return items;
}

StoreOutcome storeSearch(const std::string& term, std::vector<StoreItem>& items, std::string& err,
                         const std::atomic<bool>* cancel, const std::function<void(int)>& onWait,
                         StoreAccess* access, NetClient* client) {
    items.clear();
    const std::string path = storeSearchPath(term);
    auto get = [&](std::string& out, std::string& e, HttpMeta& meta) {
        // The request in flight always finishes; cancel only ends a pause between tries.
        return httpsGetJson(kSteamStoreHost, path, out, e, &meta, nullptr, client);
    };
    std::string body;
    bool cancelled = false;
    if (!httpsGetWithThrottle(get, body, err, cancel, onWait, &cancelled, access))
        return cancelled ? StoreOutcome::Cancelled : StoreOutcome::Failed;
    items = storeItemsFromSearch(body);
    return StoreOutcome::Ok;
}
