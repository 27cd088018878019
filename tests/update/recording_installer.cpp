// A stand-in installer for the update tests. It appends one record to the file named by the
// environment variable ORVEL_RECORD_FILE and exits: its own command line, a tab, the path of its
// own program file, a newline (UTF-16). Being a real program, it shows what CreateProcessW and the
// shell really started. It also serves as the test prefix's handler for http addresses.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    wchar_t recordFile[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"ORVEL_RECORD_FILE", recordFile, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 2;

    wchar_t self[32768];
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
    if (selfLength == 0 || selfLength >= ARRAYSIZE(self)) return 3;

    // Appending writes of one record go in one piece, so concurrent records never interleave.
    const wchar_t* commandLine = GetCommandLineW();
    const int commandLength = lstrlenW(commandLine);
    const DWORD recordUnits = static_cast<DWORD>(commandLength) + 1 + selfLength + 1;
    HANDLE heap = GetProcessHeap();
    auto* record = static_cast<wchar_t*>(HeapAlloc(heap, 0, recordUnits * sizeof(wchar_t)));
    if (!record) return 4;
    CopyMemory(record, commandLine, commandLength * sizeof(wchar_t));
    record[commandLength] = L'\t';
    CopyMemory(record + commandLength + 1, self, selfLength * sizeof(wchar_t));
    record[recordUnits - 1] = L'\n';

    HANDLE file = CreateFileW(recordFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 5;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, record, recordUnits * sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
    HeapFree(heap, 0, record);
    return ok && written == recordUnits * sizeof(wchar_t) ? 0 : 6;
}
