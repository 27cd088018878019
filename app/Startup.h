// The start-up steps of the launcher and the choice of its window phases.
#pragma once

#include "duilib/UIString.h"

// The prefix that the shell's protocol handler puts in front of a game address.
constexpr wchar_t kGameAddressPrefix[] = L"orvelclient://";
constexpr wchar_t kMutexName[] = L"Orvel_client";

// Selects the skin archive held in the program's resources (type "ZIPRES", name "SKIN") and
// registers its id table. Without the archive the framework reads skin files from the folder
// "Orvel\client\" beside the program.
void SetupSkin();

// Loads node.dll from beside the program, or tells the user that it is missing.
void EnsureWebEngine();

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
