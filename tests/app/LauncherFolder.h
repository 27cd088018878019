// A copy of the built launcher in a temporary folder of its own, so that each test decides what
// lies beside it (which node.dll, or none). The folder goes when the owner does.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/TempFolder.h"
#include "tests/wkefake/FakeEngineRemote.h"

class LauncherFolder {
public:
    // `prefix` names the folder under %TEMP%.
    explicit LauncherFolder(const wchar_t* prefix) : m_folder(prefix) {
        if (!m_folder.Ready()) return;
        const std::wstring program = m_folder.Path() + L"OrvelClient.exe";
        if (CopyFileW(wkefake::FromBuildTreePath(ORVEL_LAUNCHER_PATH).c_str(), program.c_str(), FALSE))
            m_program = program;
    }
    LauncherFolder(const LauncherFolder&) = delete;
    LauncherFolder& operator=(const LauncherFolder&) = delete;

    bool Ready() const { return !m_program.empty(); }
    const std::wstring& Folder() const { return m_folder.Path(); }  // ends with a backslash
    const std::wstring& Program() const { return m_program; }

private:
    TempFolder m_folder;
    std::wstring m_program;
};
