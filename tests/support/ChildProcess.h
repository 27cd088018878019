// Starting another program of the tests and reading what it writes.
#pragma once

#include <windows.h>

#include <string>

#include "common/Handles.h"

// This test program's folder, with its last backslash.
std::wstring ProgramFolder();

struct PipedChild {
    UniqueHandle process;
    UniqueHandle output;  // read end of the child's standard output; ends when the child does
    DWORD id = 0;
};

// Starts `program` with `arguments` (the command line after the quoted program name), its
// standard output (and error, when `withErrors`) going into `child.output`. False when it did not start.
bool StartPiped(const std::wstring& program, const std::wstring& arguments, bool withErrors, PipedChild& child);

// Everything a piped child writes until it ends.
std::string ReadToEnd(PipedChild& child);
