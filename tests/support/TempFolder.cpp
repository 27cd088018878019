#include "tests/support/TempFolder.h"

#include <atomic>

#include "common/Handles.h"

TempFolder::TempFolder(const wchar_t* prefix) {
    static std::atomic<unsigned> serial{0};
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return;
    const std::wstring path = std::wstring(temp) + prefix + std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(serial++) + L"_" + std::to_wstring(GetTickCount64()) + L"\\";
    if (CreateDirectoryW(path.c_str(), nullptr)) m_path = path;
}

namespace {

// `folder` ends with a backslash.
void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(folder + name + L"\\");
            } else {
                DeleteFileW((folder + name).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

TempFolder::~TempFolder() {
    if (!m_path.empty()) RemoveTree(m_path);
}

std::string ReadWholeFile(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    return bytes;
}

bool TempFolder::Write(const std::wstring& name, const std::string& bytes) const {
    if (m_path.empty()) return false;
    UniqueHandle file(CreateFileW((m_path + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}
