// The full path of a module's file, however long it is.
#pragma once

#include <windows.h>

#include <string>

// GetModuleFileNameW into a buffer that grows until the path fits (up to the longest path
// Windows knows, 32767 units). Empty when the path cannot be read whole: never a truncated path.
std::wstring ModuleFilePath(HMODULE module);

// The folder of the module's file, ending with a backslash; empty when the path cannot be read whole.
std::wstring ModuleFolder(HMODULE module);
