// The asset download: "下载资源" fetches, for every ticked game with a Steam appid, the
// capsule picture, the store details (info.txt) and the screenshots into media/<name>/.
//
// One worker, one request at a time. It owns copies of (appid, name) taken at the start
// and never touches the game list; its outcome per game goes to gDlResults, which the frame
// merges by name. Files are written whole or not at all (temporary name, then rename), a
// transfer that ends early is a failure of that file, a picture must be one by its bytes,
// and a name that mediaRelativePath refuses fails its game before anything is requested.
// "取消下载" ends the file in flight and any throttling pause at once.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "data/files.h"  // ensureDirUtf8, writeFileBinaryUtf8
#include "data/options.h"

// (Steam appid > 0, game name) in table order.
using DownloadWorkList = std::vector<std::pair<int, std::string>>;

inline constexpr char kCapsuleFileName[] = "capsule_616x353.jpg";
inline constexpr char kAppDetailsLabel[] = "appdetails (JSON)";
inline constexpr char kUsDataNotice[] = "(中国区不可用，此为 US 区数据；截图已自动跳过以避免成人内容)\n\n";
inline constexpr char kSuccessFalseError[] = "success=false (区域不可用/地区封禁)";

// Screenshot limit of the panel: the combo's number, 999999 for index 0 ("不限").
int32_t screenshotLimit(int32_t imageLimitIndex);

// Handler of "下载资源" (frame thread). Reads the ticked rows under gMatchMtx. With nothing to
// fetch it leaves a validation message in gDlMsg and starts nothing; otherwise it resets the
// download state and starts the worker on gDlThread. Returns true when the job started.
bool startDownloadJob(const PanelOptions& opts);

// Frame, every frame: once the worker has finished, joins it and returns the family to idle.
// Returns true when it collected a finished job. (The results are merged by the progress line.)
bool pollDownloadJob();

// Handler of "取消下载" (shown in place of 下载资源 while the job runs).
void cancelDownloadJob();

// The worker body: every game in order, then the final report in gDlMsg and gDlState = kJobFinished.
// When gDlCancel is raised, the game in flight keeps what it got ("已取消" in its lines),
// the rest are not started, and the report begins "下载已取消" and counts them as 未开始.
void runDownloadJob(DownloadWorkList work, int32_t maxScreenshots);

// The work of one game whose folder exists: capsule, store details with info.txt, screenshots.
// Appends one line per problem to log; returns whether at least one file was written.
// access: the run's store rule (see httpsGetWithThrottle).
struct StoreAccess;
bool downloadSteamAssetsProd(int32_t appid, const std::string& gameDir, const std::string& name,
                             int32_t maxScreenshots, std::string& log, StoreAccess* access = nullptr);

// Store details of appid for region cc ("cn" or "us") into json. Throttled answers are
// handled by httpsGetWithThrottle; any other failure or an empty body gets one retry after
// 500 ms. The answer counts only when its raw text says "success":true.
bool fetchAppDetails(int32_t appid, const std::string& cc, std::string& json, std::string& err,
                     StoreAccess* access = nullptr);

// True when the bytes begin with a JPEG, PNG, WebP, GIF, BMP or AVIF signature.
bool looksLikeImage(const std::string& bytes);

// Every "path_full" value of the raw answer text, in document order, with \/ \" \\ undone.
std::vector<std::string> extractScreenshotUrls(const std::string& json);
