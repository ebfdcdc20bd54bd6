// The shell's folder dialog on Windows, by wide-character calls: paths outside the ANSI code
// page survive the round trip as UTF-8.
#include "app/folder_picker.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "data/paths.h"

namespace {

// Opens the dialog on the field's folder (the shell ignores a start path it cannot show).
int CALLBACK selectStartFolder(HWND dialog, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED && data) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

}  // namespace

bool runSystemFolderDialog(const std::string& title, const std::string& startDir, std::string& chosen) {
    chosen.clear();
    // The new dialog style needs COM in this thread's apartment; a thread that has it
    // already (in any mode) keeps it as it was.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring wideTitle = utf8ToWide(title);
    const std::wstring start = utf8ToWide(startDir);
    BROWSEINFOW info = {};
    info.hwndOwner = GetActiveWindow();
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = selectStartFolder;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info)) {
        // Long paths: the buffer grows until the shell's answer fits.
        std::wstring path(MAX_PATH, L'\0');
        while (SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT) == FALSE &&
               path.size() < 32768)
            path.resize(path.size() * 2);
        path.resize(wcsnlen(path.c_str(), path.size()));
        chosen = wideToUtf8(path);
        CoTaskMemFree(item);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return true;
}
