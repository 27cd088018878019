// Lets a test in another process drive the stand-in engine inside a launcher process.
//
// wkeInitializeEx creates a hidden top-level window of class "OrvelFakeEngine" titled
// "OrvelFakeEngine <process id>" on the calling (UI) thread. A test sends it one UTF-8 command
// per WM_COPYDATA (dwData kFakeEngineCommandTag); the window queues it and runs it from a posted
// message, so the launcher's own message loop runs it and a handler may open a modal box while
// the test goes on. Each command starts with a number chosen by the sender; its answer goes to the
// log file as the line "reply <number> <answer>". Commands (views: "last", "#N" or "N"):
//   document-ready V | title-changed V TEXT | url-changed V main|sub URL | alert V TEXT
//   navigation V TYPE URL | create-view V TYPE URL X Y W H | window-closing V
//   console V LEVEL TEXT | loading-finished V RESULT main|sub URL REASON
//   call NAME [ARG...] (string arguments; the engine cannot tell who called)
//   call-from V main|sub URL NAME [ARG...] (as the main frame or a sub-frame of V showing URL)
//   page-function V NAME [RESULT] | views
// Arguments with spaces are written in double quotes with backslash escapes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

constexpr ULONG_PTR kFakeEngineCommandTag = 0x4F464B45;
constexpr wchar_t kFakeEngineWindowClass[] = L"OrvelFakeEngine";

// Creates the command window once per process.
void StartCommandChannel();

// Splits a command into its words, honouring double quotes and backslash escapes.
std::vector<std::string> SplitCommand(const std::string& command);

// Runs one command (without its leading number) and returns the answer.
std::string RunFakeEngineCommand(const std::vector<std::string>& words);
