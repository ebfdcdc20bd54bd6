// The asset download: "下载资源" fetches, for every ticked game with a Steam appid, the
// capsule picture, the store details (info.txt) and the screenshots into media/<name>/.
//
// The worker owns copies of (appid, name) taken at the start and never touches the game
// list. It asks the store one request at a time (the store's budget) and hands the pictures
// to kDlImageTransfers fetchers, each with its own kept connections, so that the next games'
// store details are asked while this game's pictures arrive. Its outcome per game goes to
// gDlResults in game order, which the frame merges by name; a game's folder is made with its
// first file. Files are written whole or not at all (temporary name, then rename), a
// transfer that ends early is a failure of that file, a picture must be one by its bytes,
// and a name that mediaRelativePath refuses fails its game before anything is requested.
// "取消下载" ends every transfer in flight and any throttling pause at once.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "data/files.h"  // ensureDirUtf8, writeFileBinaryUtf8
#include "data/options.h"

struct NetClient;

// (Steam appid > 0, game name) in table order.
using DownloadWorkList = std::vector<std::pair<int, std::string>>;

inline constexpr char kCapsuleFileName[] = "capsule_616x353.jpg";
inline constexpr char kUsDataNotice[] = "(中国区不可用，此为 US 区数据；截图已自动跳过以避免成人内容)\n\n";
inline constexpr char kSuccessFalseError[] = "success=false (区域不可用/地区封禁)";

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
// When gDlCancel is raised, the games begun keep what they got ("已取消" in the lines of
// those that lost a file), the rest are not started, and the report begins "下载已取消" and
// counts them as 未开始. The report's first line names what stopped the job before its
// counts: a store that refused it (403), or a cancel during a throttling pause.
void runDownloadJob(DownloadWorkList work, int32_t maxScreenshots);

// The image CDN's capsule of appid, for the table's hover preview: the download's request
// rules and picture check, on the caller's connections and cancel flag. answered (optional):
// whether the CDN gave any answer at all (false: no connection, or silence).
bool fetchCapsuleImage(int32_t appid, NetClient& client, const std::atomic<bool>* cancel, std::string& body,
                       std::string& err, bool* answered = nullptr);
