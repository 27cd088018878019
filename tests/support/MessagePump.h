// Running this thread's message loop from a test until something observable happens.
#pragma once

#include <windows.h>

#include <functional>

// Dispatches what is queued now; true when WM_QUIT came by (it is taken, not dispatched).
bool PumpPending();

// Dispatches messages until `done` answers true or `timeoutMs` passes; returns the last answer.
// The deadline only bounds a failing wait: a condition that holds returns at once.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);
