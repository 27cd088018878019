#include "tests/support/ChildProcess.h"

#include "common/ModulePath.h"

std::wstring ProgramFolder() { return ModuleFolder(nullptr); }

bool StartPiped(const std::wstring& program, const std::wstring& arguments, bool withErrors, PipedChild& child) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
    child.output.Reset(readEnd);
    // Only the child holds the write end once it runs, so reads end when it does.
    UniqueHandle childOutput(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    if (withErrors) si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return false;
    child.process.Reset(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    child.id = pi.dwProcessId;
    return true;
}

std::string ReadToEnd(PipedChild& child) {
    std::string said;
    char buf[512];
    DWORD got = 0;
    while (ReadFile(child.output.Get(), buf, sizeof buf, &got, nullptr) && got) said.append(buf, got);
    return said;
}
