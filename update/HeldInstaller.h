// The downloaded installer, taken out of the shared internet cache, where any program of the user
// may change it, into a folder of the launcher's own (%LOCALAPPDATA%\Tolma Launcher\Updates) and held
// open there for reading, sharing only reading. While the holder lives, no program can write,
// replace, rename or delete the file: what is hashed from File() is what CreateProcessW runs from
// Path().
#pragma once

#include "common/Handles.h"

#include <string>

class CHeldInstaller {
public:
    CHeldInstaller() = default;
    CHeldInstaller(const CHeldInstaller&) = delete;
    CHeldInstaller& operator=(const CHeldInstaller&) = delete;

    // Copies `downloaded` into the folder under a name of its own and holds the copy. Copies
    // left by earlier updates go first, as far as nothing holds them. False when the folder or the
    // copy cannot be made or held.
    bool Take(const wchar_t* downloaded);

    HANDLE File() const { return m_file.Get(); }
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;  // the copy's path; empty until taken
    UniqueHandle m_file;  // owned: the copy, open for reading without write or delete sharing
};

// The folder the copies go to, ending in "\"; "" when the user's local application data folder
// cannot be found.
std::wstring HeldInstallerFolder();
