// The start-up steps of the launcher and the choice of its window phases.
#pragma once

#include "duilib/UIString.h"

#include "common/Handles.h"

// The prefix that the shell's protocol handler puts in front of a game address.
constexpr wchar_t kGameAddressPrefix[] = L"orvelclient://";
constexpr wchar_t kMutexName[] = L"Orvel_client";
// The launcher's own switch: the browser starts with an empty profile (the player's stored
// logins, page settings and cache are removed first).
constexpr wchar_t kCleanProfileSwitch[] = L"--clean-profile";
// How long a launcher waits for another one to end before it gives way to it. A launcher that
// restarts itself starts the new one just before it ends.
constexpr DWORD kOtherLauncherWaitMs = 10000;

// Removes every `name` (any letter case) from the argument vector, moving the later arguments
// down; true when there was one.
bool TakeSwitch(int& argc, wchar_t** argv, const wchar_t* name);

// The launcher runs once at a time for a user, so that one browser uses the player's profile:
// takes the named mutex, waiting up to kOtherLauncherWaitMs for a launcher that holds it.
// Empty when another launcher keeps it; its window is then brought to the front.
UniqueHandle TakeLauncherMutex();

// Selects the skin archive held in the program's resources (type "ZIPRES", name "SKIN") and
// registers its id table. Without the archive the framework reads skin files from the folder
// "Orvel\client\" beside the program.
void SetupSkin();

// Loads node.dll from beside the program, its browser on the player's profile (emptied first when
// `cleanProfile`), or tells the user that it is missing. The pages play sound unless the
// configuration's "MuteAudio" is "1".
void EnsureWebEngine(bool cleanProfile);

// The first window phase.
enum class FirstPhase {
    Update,  // the update window
    Login,   // the login window
    Game,    // none: the command line gave the game address
    None,    // none, and no game window either
};

// Chooses the first phase from the update check's answer, the argument vector (may be null) and
// whether a web engine is loaded. Sets `gameAddress` from the first argument when it decides on
// it. A due update wins over an argument; the login and the game window need the engine.
FirstPhase ChooseFirstPhase(const CDuiString& updateUrl, int argc, wchar_t** argv, bool engineLoaded,
                            CDuiString& gameAddress);

class CWindowWnd;

// Creates `window` as a top-level framework window, centres it and runs the message loop.
// False, with no loop run, when the native window could not be created: no window would ever
// post the quit message.
bool RunFrameworkWindow(CWindowWnd* window, const wchar_t* name, int width, int height);

// The game window follows the first phase when there is an address and an engine to show it.
bool ShouldRunGameWindow(const CDuiString& gameAddress, bool engineLoaded);
