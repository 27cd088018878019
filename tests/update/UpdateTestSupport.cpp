#include "tests/update/UpdateTestSupport.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/WindowFinder.h"

#include <algorithm>
#include <atomic>
#include <cstring>

std::wstring RecorderPath() { return ProgramFolder() + L"recording_installer.exe"; }

HttpRoute SlowInstallerRoute(const std::string& installer, size_t writeSize, DWORD delayMs) {
    HttpRoute route = HttpRoute::Ok(installer);
    route.contentType = "application/octet-stream";
    route.delivery = HttpRoute::Delivery::SmallWrites;
    route.writeSize = writeSize;
    route.delayMs = delayMs;
    return route;
}

RecordFile::RecordFile() {
    static std::atomic<int> serial{0};
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_path = std::wstring(temp) + L"orvel_update_record_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             std::to_wstring(serial++) + L".txt";
    DeleteFileW(m_path.c_str());
    SetEnvironmentVariableW(L"ORVEL_RECORD_FILE", m_path.c_str());
}

RecordFile::~RecordFile() {
    SetEnvironmentVariableW(L"ORVEL_RECORD_FILE", nullptr);
    DeleteFileW(m_path.c_str());
}

std::vector<Record> RecordFile::Read() const {
    const std::string bytes = ReadWholeFile(m_path);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) memcpy(&text[0], bytes.data(), text.size() * sizeof(wchar_t));
    std::vector<Record> records;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        const std::wstring line = text.substr(start, end - start);
        const size_t tab = line.rfind(L'\t');
        if (tab == std::wstring::npos) continue;
        records.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return records;
}

bool RecordFile::WaitFor(size_t count, DWORD timeoutMs) const {
    return PumpUntil([&] { return Read().size() >= count; }, timeoutMs);
}

namespace {
constexpr wchar_t kHttpCommandKey[] = L"Software\\Classes\\http\\shell\\open\\command";
}

// Wine's shell reads the machine's classes for URL handlers, not the user's, so the machine key
// of the test prefix is the one to change.
HttpHandlerOverride::HttpHandlerOverride() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kHttpCommandKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    wchar_t old[1024] = {};
    DWORD size = sizeof(old) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        m_hadOld = true;
        m_old = old;
    }
    const std::wstring command = L"\"" + RecorderPath() + L"\" \"%1\"";
    m_installed = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(key);
}

HttpHandlerOverride::~HttpHandlerOverride() {
    if (!m_installed) return;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kHttpCommandKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    if (m_hadOld) {
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_old.c_str()),
                       static_cast<DWORD>((m_old.size() + 1) * sizeof(wchar_t)));
    } else {
        RegDeleteValueW(key, nullptr);
    }
    RegCloseKey(key);
}

ProcessCounter::ProcessCounter() : m_job(CreateJobObjectW(nullptr, nullptr)) {
    m_active = m_job && AssignProcessToJobObject(m_job.Get(), GetCurrentProcess());
}

unsigned long ProcessCounter::Started() const {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!m_active || !QueryInformationJobObject(m_job.Get(), JobObjectBasicAccountingInformation, &info,
                                                sizeof(info), nullptr)) {
        return 0;
    }
    return info.TotalProcesses - 1;
}

HWND FindErrorBox() { return WaitForWindow(L"ERROR", kDialogClass, GetCurrentProcessId(), 0); }
