// Minidumps of the launcher's crashes, for the publisher's support: an exception that nothing
// handles writes one into the launcher's log folder before the process ends. Read with the
// program's `.debug` file of the same release (README "Crash dumps").
#pragma once

#include <string>

// Leaves at most `kept - 1` of the dumps already in `folder` (with or without its last backslash;
// the oldest go) so that the next one fits the bound, and makes the process's last-chance
// exception filter write "crash-<date>-<time to the millisecond>-<process>.dmp" there, making
// the folder first when it is missing. False when dumps cannot be written (no folder named, or
// the system's dbghelp.dll lacks MiniDumpWriteDump); the launcher runs on.
bool InstallCrashDumps(const std::wstring& folder, size_t kept);
