// What the browser-backed engine tests share: loading the engine built beside them, running the
// message loop until a condition holds, and the user agent the launcher sends.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/WebEngineLoader.h"
#include "tests/support/MessagePump.h"

constexpr char kTestUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/86.0.4240.111 Safari/537.36 "
    "OrvelClient/2.0";

// Loads and initialises the engine once per process; false when it or its browser does not start.
// The browser (`browser`, or the one the engine finds) starts on `profile` (the engine's default
// for this program when empty), emptied first unless `keepProfile`: a test starts from what it
// makes itself. With `muteAudio` its pages play no sound.
bool LoadTestEngine(const std::wstring& profile = std::wstring(), bool keepProfile = false,
                    const std::wstring& browser = std::wstring(), bool muteAudio = false);

// Text of an engine string, or of a script value.
std::wstring EngineStringText(wkeString s);
std::wstring ScriptText(wkeWebView view, jsValue value);

// A left click at a view point, with the move before it, as the player's.
void ClickAt(wkeWebView view, int x, int y);

// The text of a script's value once the view's page runs it, pumping messages meanwhile: the
// browser starts behind wkeInitializeEx, and a script asked for before the view has its page
// answers empty at once. "undefined" when the page gives no other answer within `timeoutMs`.
std::wstring AnswerOncePageRuns(wkeWebView view, const char* script, DWORD timeoutMs = 60000);
