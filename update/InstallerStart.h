// Starting the downloaded installer.
#pragma once

#include <string>

// The installer's switches; their own leading space is the only separator after the path.
constexpr wchar_t kInstallerSwitches[] = L" /SILENT /norestart ";

// The installer's command line: `path` unquoted, followed directly by kInstallerSwitches. Sized
// to the path, so no path is ever cut.
std::wstring InstallerCommandLine(const wchar_t* path);

// Starts the installer at `path` with the launcher's environment and current folder and does not
// wait for it. Returns whether the process was created; its handles are closed either way.
bool StartInstaller(const wchar_t* path);
