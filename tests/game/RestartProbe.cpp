// A stand-in launcher for observing the bridge's restart from outside.
//   restart_probe bridge <command>  builds the game window on the engine double and passes
//                                   <command> to the page bridge; exits 0 when a quit was posted.
//   restart_probe                   (as the restart starts it) writes its own path and command
//                                   line to the file named by ORVEL_RESTART_MARKER.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "core/GameAddress.h"
#include "common/ModulePath.h"
#include "common/TextConv.h"
#include "game/GameWnd.h"
#include "tests/wkefake/FakeWebEngine.h"

namespace {

int WriteMarker() {
    wchar_t marker[32768] = {};
    if (!GetEnvironmentVariableW(L"ORVEL_RESTART_MARKER", marker, 32768)) return 2;
    const std::wstring temp = std::wstring(marker) + L".part";
    const std::string text = ToUtf8((ModuleFilePath(nullptr) + L"\n" + GetCommandLineW()).c_str());
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    // Renamed into place whole, so the watcher never reads half a file.
    return MoveFileExW(temp.c_str(), marker, MOVEFILE_REPLACE_EXISTING) ? 0 : 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (argc == 1) return WriteMarker();
    if (argc != 3 || std::wstring(argv[1]) != L"bridge") return 4;

    InstallFakeWebEngine();
    g_gameAddress = L"http://game.test/";
    CGameWnd game(GetModuleHandleW(nullptr));
    game.Create();
    wkefake::CallBound("AppFlashCall", {wkefake::JsValue::Str(argv[2])}, wkefake::MainFrameOf(game.WebView()));
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? 0 : 3;
}
