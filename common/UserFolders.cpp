#include "common/UserFolders.h"

#include <windows.h>
#include <shlobj.h>

std::wstring LocalAppDataFolder() {
    wchar_t* path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path)) && path && *path) {
        folder = path;
        if (folder.back() != L'\\') folder += L'\\';
    }
    CoTaskMemFree(path);
    return folder;
}

bool MakeFolderTree(const std::wstring& path) {
    const int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    if (result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    return false;
}
