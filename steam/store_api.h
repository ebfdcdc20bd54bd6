// The store web API and image CDN as the program calls them: hosts, paths, and the
// search request with the throttling policy.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "match/score.h"

inline constexpr char kSteamStoreHost[] = "store.steampowered.com";
inline constexpr char kSteamCdnHost[] = "cdn.akamai.steamstatic.com";

// "/api/storesearch/?term=<urlEncode(term)>&l=schinese&cc=CN"
std::string storeSearchPath(const std::string& term);
// "/api/appdetails?appids=<appid>&cc=<cc>&l=schinese" (cc "cn" or "us")
std::string appDetailsPath(int32_t appid, const std::string& cc);
// "/steam/apps/<appid>/capsule_616x353.jpg" on kSteamCdnHost
std::string capsulePath(int32_t appid);

// (title, appid) items of a store search answer, in answer order.
std::vector<StoreItem> storeItemsFromSearch(const std::string& body);

enum class StoreOutcome { Ok, Failed, Cancelled };

// One store search, retried while the store throttles (see httpsGetWithThrottle); a request
// in flight is finished, cancel ends a pause at once;
// onWait(seconds left) reports a pause, onWait(0) its end; access carries the run's 403
// rule (a refusing store fails at once); client: the job's kept connections. items is replaced.
struct StoreAccess;
struct NetClient;
StoreOutcome storeSearch(const std::string& term, std::vector<StoreItem>& items, std::string& err,
                         const std::atomic<bool>* cancel, const std::function<void(int)>& onWait,
                         StoreAccess* access = nullptr, NetClient* client = nullptr);
