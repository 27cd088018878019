#include "update/HeldInstaller.h"

#include <windows.h>

#include <atomic>

#include "common/UserFolders.h"
#include "core/LauncherFolders.h"

std::wstring HeldInstallerFolder() {
    const std::wstring folder = LauncherDataFolder();
    return folder.empty() ? std::wstring() : folder + L"Updates\\";
}

namespace {

// Removes the copies of earlier updates that nothing holds any more: a running installer's stays.
void RemoveOldCopies(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"update_*.exe").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

bool CHeldInstaller::Take(const wchar_t* downloaded) {
    if (!downloaded || !*downloaded || m_file) return false;
    const std::wstring folder = HeldInstallerFolder();
    if (folder.empty()) return false;
    if (!MakeFolderTree(folder.substr(0, folder.size() - 1))) return false;
    RemoveOldCopies(folder);

    // A name no other launcher, and no earlier update of this one, uses.
    static std::atomic<unsigned> serial{0};
    const std::wstring path = folder + L"update_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(GetTickCount64()) + L"_" + std::to_wstring(serial++) + L".exe";
    if (!CopyFileW(downloaded, path.c_str(), TRUE)) return false;
    // Whatever happened to the file between the copy and this open is caught by the hash taken
    // from this handle; from here on nothing can happen to it.
    m_file.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file) {
        DeleteFileW(path.c_str());
        return false;
    }
    m_path = path;
    return true;
}
