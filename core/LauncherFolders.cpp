#include "core/LauncherFolders.h"

#include "common/UserFolders.h"

namespace {

constexpr wchar_t kProductFolder[] = L"Tolma Launcher\\";

}  // namespace

std::wstring LauncherDataFolder() {
    const std::wstring base = LocalAppDataFolder();
    return base.empty() ? std::wstring() : base + kProductFolder;
}

std::wstring BrowserProfileFolder() {
    const std::wstring folder = LauncherDataFolder();
    return folder.empty() ? std::wstring() : folder + L"Browser";
}

std::wstring LauncherLogFolder() {
    const std::wstring folder = LauncherDataFolder();
    return folder.empty() ? std::wstring() : folder + L"logs\\";
}
