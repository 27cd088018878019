// A crash that nothing handles leaves a minidump in the log folder, and only the newest few stay.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

std::vector<std::wstring> Dumps(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"crash-*.dmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// The folder is made by the first crash (a launcher that never crashes leaves none); an older dump
// found there later is the first to go once three are kept.
TEST(CrashDumps, AnUnhandledCrashWritesAMinidumpAndTheNewestThreeStay) {
    const TempFolder temp(L"crash-dumps-");
    ASSERT_TRUE(temp.Ready());
    const std::wstring folder = temp.Path() + L"support\\logs\\";
    for (int run = 0; run < 3; ++run) {
        PipedChild child;
        // Named without its last backslash, which would escape the closing quote.
        ASSERT_TRUE(StartPiped(ProgramFolder() + L"crash_helper.exe", L"\"" + temp.Path() + L"support\\logs\" 3", true,
                               child));
        ReadToEnd(child);
        ASSERT_EQ(WaitForSingleObject(child.process.Get(), 60000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeProcess(child.process.Get(), &code);
        EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION)) << "run " << run;
        if (run == 0) {
            ASSERT_EQ(Dumps(folder).size(), 1u) << "the first crash makes the folder";
            ASSERT_TRUE(temp.Write(L"support\\logs\\crash-20000101-000000000-1.dmp", "MDMP old"));
        }
    }
    const std::vector<std::wstring> dumps = Dumps(folder);
    ASSERT_EQ(dumps.size(), 3u);
    for (const std::wstring& name : dumps) {
        EXPECT_NE(name, L"crash-20000101-000000000-1.dmp") << "the oldest went first";
        const std::string bytes = ReadWholeFile(folder + name);
        EXPECT_EQ(bytes.compare(0, 4, "MDMP"), 0) << "not a minidump";
        EXPECT_GT(bytes.size(), 1024u);
    }
}

}  // namespace
