// A fresh folder under %TEMP% for one test's files, removed with everything in it (sub-folders, and
// what other processes wrote there) when the owner goes.
#pragma once

#include <windows.h>

#include <string>

class TempFolder {
public:
    // `prefix` names the folder; the process id, a serial and the tick count keep folders apart
    // (Wine hands a new process the id of one that just ended).
    explicit TempFolder(const wchar_t* prefix);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool Ready() const { return !m_path.empty(); }
    const std::wstring& Path() const { return m_path; }  // ends with a backslash
    // Writes `bytes` to the file `name` in the folder; false when that failed.
    bool Write(const std::wstring& name, const std::string& bytes) const;

private:
    std::wstring m_path;
};

// The bytes of a file; empty when it cannot be read. Other processes may hold it open meanwhile.
std::string ReadWholeFile(const std::wstring& path);
