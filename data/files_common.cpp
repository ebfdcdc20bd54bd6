// The parts of data/files.h that need no platform call of their own.
#include "data/files.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace {

// What stands at path when it is no regular file; empty for a regular file or nothing at all.
std::string specialKind(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    switch (fs::status(pathFromUtf8(path), ec).type()) {
        case fs::file_type::directory: return "文件夹";
        case fs::file_type::fifo: return "命名管道";
        case fs::file_type::socket: return "套接字";
        case fs::file_type::block:
        case fs::file_type::character: return "设备文件";
        case fs::file_type::regular:
        case fs::file_type::not_found:
        case fs::file_type::none: return std::string();
        default: return "特殊文件";
    }
}

}  // namespace

std::string errnoReason(int e) {
    switch (static_cast<std::errc>(e)) {
        case std::errc::permission_denied:
        case std::errc::operation_not_permitted: return "没有访问权限";
        case std::errc::no_space_on_device: return "磁盘空间不足";
        case std::errc::device_or_resource_busy:
        case std::errc::text_file_busy: return "文件正被其他程序使用";
        case std::errc::no_such_file_or_directory: return "文件不存在";
        case std::errc::read_only_file_system: return "只读文件系统";
        case std::errc::is_a_directory: return "目标是文件夹";
        case std::errc::not_a_directory: return "不是文件夹";
        case std::errc::io_error: return "读写错误";
        case std::errc::filename_too_long: return "路径过长";
        case std::errc::no_such_device: return "不是普通文件";
        default: return std::generic_category().message(e);
    }
}

std::string systemErrorReason(unsigned long code) {
    if (isQuotaError(std::error_code(static_cast<int>(code), std::system_category()))) return "超出磁盘配额";
    const int e = errnoOfSystemError(code);
    return e != 0 ? errnoReason(e) : "系统错误 " + std::to_string(code);
}

std::string fileErrorReason(const std::error_code& ec) {
    if (isQuotaError(ec)) return "超出磁盘配额";
    if (ec.category() == std::generic_category()) return errnoReason(ec.value());
    return systemErrorReason(static_cast<unsigned long>(ec.value()));
}

bool readFileBinaryUtf8(const std::string& path, std::string& data, std::string& err) {
    data.clear();
    // Checked before opening, for the reason; the opening itself refuses them too, without waiting.
    if (const std::string kind = specialKind(path); !kind.empty()) {
        err = "不是普通文件 path=" + path + "（" + kind + "）";
        return false;
    }
    FILE* f = openFileUtf8(path, "rb");
    if (!f) {
        const int e = errno;
        err = "打开文件失败 path=" + path + "（" + errnoReason(e) + "）";
        return false;
    }
    char buf[65536];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    const int e = std::ferror(f) ? errno : 0;
    std::fclose(f);
    if (e != 0) err = "读取文件失败 path=" + path + "（" + errnoReason(e) + "）";
    return e == 0;
}
