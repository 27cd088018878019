// Process-wide skin settings and CPaintManagerUI's static operations that set them.
#include "duilib/UISkin.h"

#include "common/Handles.h"
#include "common/ModulePath.h"
#include "common/TextConv.h"
#include "duilib/UIManager.h"
#include "duilib/ZipArchive.h"

#include <windows.h>

namespace {

constexpr DWORD kMaxSkinFileBytes = 64u << 20;

struct SkinSettings {
    HINSTANCE instance = nullptr;
    int resourceType = UILIB_FILE;
    CDuiString resourcePath;
    dui::ZipArchive archive;  // over bytes owned by the caller of SetResourceZip
};

SkinSettings& Settings() {
    static SkinSettings settings;
    return settings;
}

bool ReadLooseFile(const CDuiString& path, std::vector<unsigned char>& out) {
    UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxSkinFileBytes) return false;
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!out.empty() && (!ReadFile(file.Get(), out.data(), static_cast<DWORD>(out.size()), &read, nullptr) ||
                         read != out.size())) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace

namespace dui {

bool ReadSkinFile(const wchar_t* name, std::vector<unsigned char>& out) {
    out.clear();
    if (!name || !*name) return false;
    const SkinSettings& settings = Settings();
    if (settings.archive.IsOpen()) return settings.archive.Read(ToUtf8(name), out);
    return ReadLooseFile(settings.resourcePath + name, out);
}

}  // namespace dui

void CPaintManagerUI::SetInstance(HINSTANCE hInst) { Settings().instance = hInst; }

HINSTANCE CPaintManagerUI::GetInstance() { return Settings().instance; }

HINSTANCE CPaintManagerUI::GetResourceDll() { return Settings().instance; }

CDuiString CPaintManagerUI::GetInstancePath() { return CDuiString(ModuleFolder(Settings().instance).c_str()); }

void CPaintManagerUI::SetResourceType(int type) { Settings().resourceType = type; }

int CPaintManagerUI::GetResourceType() { return Settings().resourceType; }

void CPaintManagerUI::SetResourcePath(const wchar_t* path) {
    CDuiString& folder = Settings().resourcePath;
    folder = path;
    if (!folder.IsEmpty() && folder[folder.GetLength() - 1] != L'\\' && folder[folder.GetLength() - 1] != L'/') {
        folder += L'\\';
    }
}

const CDuiString& CPaintManagerUI::GetResourcePath() { return Settings().resourcePath; }

bool CPaintManagerUI::SetResourceZip(const void* bytes, unsigned size, const wchar_t* password) {
    dui::ZipArchive& archive = Settings().archive;
    archive.Close();
    // Encrypted archives are not supported: a password leaves no archive registered.
    if (password && *password) return false;
    return archive.Open(bytes, size);
}

bool CPaintManagerUI::IsResourceZipSet() { return Settings().archive.IsOpen(); }
