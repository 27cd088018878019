// The native start: a Windows browser, on Windows (and a Windows browser under Wine). Its
// DevTools pipe is two anonymous pipes, and its processes are in a kill-on-close job, so they end
// with the process that uses the engine. Nothing of the Wine start is used here.
#include "engine/browser/BrowserStart.h"

#include <cstring>
#include <vector>

namespace {

// Removes what `folder` holds, without following links or junctions out of it.
void RemoveContents(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        const bool folderEntry = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // A link or junction is removed itself; what it points to is not touched.
        if (folderEntry && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveContents(path);
        if (folderEntry) {
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The C runtime's inheritance block (STARTUPINFOW::lpReserved2): the number of descriptors, a
// flag byte for each, then a handle for each, packed. The browser finds its DevTools pipe as
// descriptors 3 (commands) and 4 (answers); 0 to 2 are not handed over.
std::vector<BYTE> RuntimeDescriptors(HANDLE commands, HANDLE answers) {
    constexpr int kCount = 5;
    constexpr unsigned char kOpenPipe = 0x01 | 0x08;  // FOPEN | FPIPE
    const unsigned char flags[kCount] = {0, 0, 0, kOpenPipe, kOpenPipe};
    const HANDLE handles[kCount] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, commands, answers};
    std::vector<BYTE> block(sizeof(int) + sizeof flags + sizeof handles);
    memcpy(block.data(), &kCount, sizeof kCount);
    memcpy(block.data() + sizeof kCount, flags, sizeof flags);
    memcpy(block.data() + sizeof kCount + sizeof flags, handles, sizeof handles);
    return block;
}

}  // namespace

bool StartNative(const BrowserLaunch& launch, BrowserRun& run) {
    // The job ended the browser of an earlier run when its launcher ended, so nothing holds the
    // profile now.
    if (launch.cleanProfile) RemoveContents(launch.profile);
    // Two pipes: the browser reads commands from the first and writes answers into the second.
    // Only the browser's ends are inheritable, and only they are handed to it.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE commandsRead = nullptr, commandsWrite = nullptr, answersRead = nullptr, answersWrite = nullptr;
    if (!CreatePipe(&commandsRead, &commandsWrite, &inheritable, 0)) return false;
    UniqueHandle browserCommands(commandsRead), ourCommands(commandsWrite);
    if (!CreatePipe(&answersRead, &answersWrite, &inheritable, 0)) return false;
    UniqueHandle ourAnswers(answersRead), browserAnswers(answersWrite);
    if (!SetHandleInformation(ourCommands.Get(), HANDLE_FLAG_INHERIT, 0) ||
        !SetHandleInformation(ourAnswers.Get(), HANDLE_FLAG_INHERIT, 0))
        return false;

    HANDLE inherited[2] = {browserCommands.Get(), browserAnswers.Get()};
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<BYTE> listMemory(listSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &listSize)) return false;
    const bool listed = UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                                  sizeof inherited, nullptr, nullptr) != FALSE;
    std::vector<BYTE> descriptors = RuntimeDescriptors(browserCommands.Get(), browserAnswers.Get());
    STARTUPINFOEXW si{};
    si.StartupInfo.cb = sizeof si;
    si.StartupInfo.cbReserved2 = static_cast<WORD>(descriptors.size());
    si.StartupInfo.lpReserved2 = descriptors.data();
    si.lpAttributeList = attributes;
    std::wstring command = QuoteArgument(launch.browser) + L" " + QuoteArgument(L"--user-data-dir=" + launch.profile) +
                           SwitchesText(launch, false) + L" about:blank";

    run.job.Reset(CreateJobObjectW(nullptr, nullptr));
    if (run.job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(run.job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    PROCESS_INFORMATION pi{};
    const BOOL created = listed && CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                                  CREATE_SUSPENDED | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT,
                                                  nullptr, nullptr, &si.StartupInfo, &pi);
    DeleteProcThreadAttributeList(attributes);
    if (!created) return false;
    UniqueHandle thread(pi.hThread);
    run.process.Reset(pi.hProcess);
    if (run.job) AssignProcessToJobObject(run.job.Get(), run.process.Get());
    ResumeThread(thread.Get());
    // The browser holds its own copies now; the pipes must end when it does.
    browserCommands.Reset();
    browserAnswers.Reset();
    run.stream = MakeHandleStream(std::move(ourCommands), std::move(ourAnswers));
    return true;
}
