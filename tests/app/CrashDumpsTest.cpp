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

TEST(CrashDumps, AnUnhandledCrashWritesAMinidumpAndTheNewestThreeStay) {
    const TempFolder temp(L"crash-dumps-");
    ASSERT_TRUE(temp.Ready());
    const std::wstring folder = temp.Path() + L"logs\\";
    // An older dump of an earlier run, by its name the oldest: it goes first.
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(temp.Write(L"logs\\crash-20000101-000000000-1.dmp", "MDMP old"));
    for (int run = 0; run < 3; ++run) {
        PipedChild child;
        // Named without its last backslash, which would escape the closing quote.
        ASSERT_TRUE(StartPiped(ProgramFolder() + L"crash_helper.exe", L"\"" + temp.Path() + L"logs\" 3", true, child));
        ReadToEnd(child);
        ASSERT_EQ(WaitForSingleObject(child.process.Get(), 60000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeProcess(child.process.Get(), &code);
        EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION)) << "run " << run;
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
