// The two ways the browser is started, each a unit of its own, and what they take from the
// shared part. BrowserProcess::Start (BrowserProcess.cpp) chooses between them:
// - NativeStart.cpp: a Windows program, on Windows or under Wine. Two anonymous pipes handed over
//   as the browser's C runtime descriptors, and a kill-on-close job.
// - WineStart.cpp: a Linux browser, under Wine only (it refuses elsewhere). A loopback connection
//   made by the watchdog script wine-watchdog.sh (embedded into node.dll at build time), which
//   also tidies up after the browser. Nothing of it runs on Windows.
// Internal to engine/browser/: the rest of the engine starts the browser through BrowserProcess.
#pragma once

#include <windows.h>

#include <string>

#include "engine/browser/BrowserProcess.h"

// The switches of every start (with the closed network's too when `underWine`, and the user
// agent's when the launch names one), each quoted and after a space. BrowserProcess.cpp.
std::wstring SwitchesText(const BrowserLaunch& launch, bool underWine);

// Starts `launch.browser` as a Windows program, in a kill-on-close job, with its DevTools pipe on
// two anonymous pipes; the profile's contents go first when `launch.cleanProfile`. The profile
// folder exists. Fills `run` as far as it gets. NativeStart.cpp.
bool StartNative(const BrowserLaunch& launch, BrowserRun& run);

// Starts the Linux browser `launch.browser` (its Unix path) through the watchdog script, and
// connects its DevTools pipe over loopback, waiting at most `timeoutMs` (and at most 10 s) for
// the watchdog. False at once when not under Wine (there is no Unix path then). Fills `run` as far
// as it gets. WineStart.cpp.
bool StartUnderWine(const BrowserLaunch& launch, DWORD timeoutMs, BrowserRun& run);
