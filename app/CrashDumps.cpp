#include "app/CrashDumps.h"

#include <windows.h>
#include <dbghelp.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "common/Handles.h"

namespace {

// dbghelp.dll's export, by the convention of the system's DLLs.
using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE process, DWORD processId, HANDLE file, MINIDUMP_TYPE type,
                                          PMINIDUMP_EXCEPTION_INFORMATION exception,
                                          PMINIDUMP_USER_STREAM_INFORMATION userStreams,
                                          PMINIDUMP_CALLBACK_INFORMATION callback);

// Everything the filter needs is ready before a crash: a crashed process may have no heap or
// loader left to ask.
MiniDumpWriteDumpFn g_writeDump = nullptr;  // in dbghelp.dll, loaded for the process's life
wchar_t g_folder[MAX_PATH + 1] = {};

struct DumpJob {
    EXCEPTION_POINTERS* exception;
    DWORD threadId;
};

// Makes the folder and those above it that are missing. Only when there is a dump to write: a
// launcher that never crashes leaves no folder behind.
void MakeDumpFolder() {
    wchar_t path[MAX_PATH + 1];
    wcsncpy(path, g_folder, MAX_PATH);
    path[MAX_PATH] = L'\0';
    for (wchar_t* at = wcschr(path, L'\\'); at; at = wcschr(at + 1, L'\\')) {
        if (at == path || at[-1] == L':') continue;  // the drive's root
        *at = L'\0';
        CreateDirectoryW(path, nullptr);
        *at = L'\\';
    }
}

DWORD WINAPI WriteDump(void* param) {
    const auto* job = static_cast<const DumpJob*>(param);
    MakeDumpFolder();
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t path[MAX_PATH + 64];
    swprintf(path, sizeof path / sizeof path[0], L"%lscrash-%04u%02u%02u-%02u%02u%02u%03u-%lu.dmp", g_folder, now.wYear,
             now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentProcessId());
    UniqueHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 1;
    MINIDUMP_EXCEPTION_INFORMATION exception{job->threadId, job->exception, FALSE};
    // The threads' stacks and the modules, nothing of the heap: what the player typed into a page
    // stays out of the dump.
    const auto type = static_cast<MINIDUMP_TYPE>(MiniDumpNormal | MiniDumpWithThreadInfo);
    return g_writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.Get(), type, &exception, nullptr, nullptr) ? 0
                                                                                                                  : 1;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
    static LONG entered = 0;
    if (InterlockedExchange(&entered, 1) == 0) {
        DumpJob job{exception, GetCurrentThreadId()};
        // From a thread of its own: the crashed one may have no stack left (an overflow).
        UniqueHandle writer(CreateThread(nullptr, 0, &WriteDump, &job, 0, nullptr));
        if (writer) WaitForSingleObject(writer.Get(), 30000);
    }
    return EXCEPTION_EXECUTE_HANDLER;  // the process ends, with the exception's code
}

// Leaves the newest `keep` dumps of the folder. Their names begin with the time they were written.
void PruneDumps(const std::wstring& folder, size_t keep) {
    std::vector<std::wstring> dumps;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"crash-*.dmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) dumps.push_back(found.cFileName);
    } while (FindNextFileW(search, &found) && dumps.size() < 4096);
    FindClose(search);
    std::sort(dumps.begin(), dumps.end());
    for (size_t i = 0; i + keep < dumps.size(); ++i) DeleteFileW((folder + dumps[i]).c_str());
}

}  // namespace

bool InstallCrashDumps(const std::wstring& where, size_t kept) {
    const std::wstring folder = where.empty() || where.back() == L'\\' ? where : where + L'\\';
    if (folder.empty() || kept == 0 || folder.size() >= MAX_PATH) return false;
    // The system's own copy, never one beside the program.
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 16) return false;
    HMODULE dbghelp = LoadLibraryW((std::wstring(system) + L"\\dbghelp.dll").c_str());
    if (!dbghelp) return false;
    g_writeDump = reinterpret_cast<MiniDumpWriteDumpFn>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    if (!g_writeDump) return false;
    PruneDumps(folder, kept - 1);
    wcsncpy(g_folder, folder.c_str(), MAX_PATH);
    SetUnhandledExceptionFilter(&OnUnhandledException);
    return true;
}
