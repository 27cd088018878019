// Loads the web engine DLL at run time and fills the process-wide entry points of wke.h.
#pragma once

#include "platform/WkeInput.h"
#include "platform/wke.h"

// Path handed to LoadLibraryW by LoadWebEngine. Points at "node.dll" until the entry points it
// at the full path beside the program, for the duration of one LoadWebEngine call.
extern const wchar_t* g_webEngineDllPath;

// Loads g_webEngineDllPath, initialises the engine with `settings` (may be null) and resolves every
// entry point. Returns 1, or 0 when the DLL does not load or lacks wkeInitializeEx. Each other missing
// entry point is reported once with a message box (caption: its name) and then answers every call
// with an empty result, so a later call cannot jump to null. The module stays loaded for the run.
int LoadWebEngine(const wkeSettings* settings);

// True once LoadWebEngine has succeeded (or a test has installed an engine of its own).
bool IsWebEngineLoaded();

// For tests that install an in-process engine: marks the entry points as filled.
void SetWebEngineLoaded(bool loaded);

// The input entry points as they are now (loaded, stand-ins, or a test's engine), for the adapter.
WkeInputCalls WkeLoadedInputCalls();
