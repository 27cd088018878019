// CPaintManagerUI: the process-wide skin settings (static) and, per skinned window, the
// control tree, layout, painting and input routing.
#pragma once

#include "duilib/UIString.h"

#include <windows.h>

// Resource types: where skin files come from.
enum {
    UILIB_FILE = 1,         // loose files in the resource folder
    UILIB_ZIPRESOURCE = 4,  // a zip archive held in the program's resources (SetResourceZip)
};

class CPaintManagerUI {
public:
    // Process-wide settings. Set on the UI thread at start-up, before any window exists.
    static void SetInstance(HINSTANCE hInst);
    static HINSTANCE GetInstance();
    // The module whose resources hold the skin: the instance.
    static HINSTANCE GetResourceDll();
    // The folder of the program file, with a trailing backslash.
    static CDuiString GetInstancePath();
    static void SetResourceType(int type);
    static int GetResourceType();
    // The folder that skin files are read from when no archive is registered; a trailing
    // backslash is added when missing.
    static void SetResourcePath(const wchar_t* path);
    static const CDuiString& GetResourcePath();
    // Registers a zip archive in memory as the skin. The bytes are not copied: they must stay
    // valid for the rest of the run (a locked resource does). False, and no archive registered,
    // when the archive is damaged or a password is given (encrypted archives are refused).
    static bool SetResourceZip(const void* bytes, unsigned size, const wchar_t* password = nullptr);
    static bool IsResourceZipSet();

    // Runs the thread's message loop until WM_QUIT.
    static void MessageLoop();
};
