// Folders of the user the program runs for.
#pragma once

#include <string>

// The user's local application data folder (%LOCALAPPDATA%), ending with a backslash; empty when
// the system cannot say.
std::wstring LocalAppDataFolder();

// Makes `path` (absolute) and every missing folder above it; true when it exists afterwards.
bool MakeFolderTree(const std::wstring& path);
