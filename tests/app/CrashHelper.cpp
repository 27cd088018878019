// A program that crashes on purpose, with the launcher's crash dumps installed for the folder its
// first argument names (the second: how many to keep).
#include <windows.h>

#include <cwchar>

#include "app/CrashDumps.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || !InstallCrashDumps(argv[1], static_cast<size_t>(_wtoi(argv[2])))) return 2;
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
