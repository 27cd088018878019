// A copy of the built launcher in a temporary folder of its own, so that each test decides what
// lies beside it (which node.dll, or none). The folder goes when the owner does.
#pragma once

#include <windows.h>

#include <string>

#include "tests/wkefake/FakeEngineRemote.h"

class LauncherFolder {
public:
    // `prefix` names the folder under %TEMP%; the process id keeps parallel runs apart.
    explicit LauncherFolder(const wchar_t* prefix) {
        wchar_t temp[MAX_PATH] = {};
        if (GetTempPathW(MAX_PATH, temp) == 0) return;
        m_folder = std::wstring(temp) + prefix + std::to_wstring(GetCurrentProcessId()) + L"\\";
        if (!CreateDirectoryW(m_folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return;
        const std::wstring program = m_folder + L"OrvelClient.exe";
        if (CopyFileW(wkefake::FromBuildTreePath(ORVEL_LAUNCHER_PATH).c_str(), program.c_str(), FALSE))
            m_program = program;
    }
    ~LauncherFolder() {
        if (m_folder.empty()) return;
        DeleteFileW((m_folder + L"OrvelClient.exe").c_str());
        DeleteFileW((m_folder + L"node.dll").c_str());
        RemoveDirectoryW(m_folder.c_str());
    }
    LauncherFolder(const LauncherFolder&) = delete;
    LauncherFolder& operator=(const LauncherFolder&) = delete;

    bool Ready() const { return !m_program.empty(); }
    const std::wstring& Folder() const { return m_folder; }  // ends with a backslash
    const std::wstring& Program() const { return m_program; }

private:
    std::wstring m_folder;
    std::wstring m_program;
};
