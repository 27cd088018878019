// Finding top-level windows and answering message boxes as a user would, for tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct FoundWindow {
    HWND hwnd;
    DWORD processId;
    std::wstring title;
    std::wstring className;
};

// Every visible top-level window, of every process.
std::vector<FoundWindow> VisibleTopLevelWindows();

// Polls until a visible top-level window with exactly this title (and class, when not null)
// exists, of process `processId` when it is not 0. Null when `timeoutMs` passes first, or
// `abort` (optional) is signalled.
HWND WaitForWindow(const wchar_t* title, const wchar_t* className, DWORD processId, DWORD timeoutMs,
                   HANDLE abort = nullptr);

// Clicks the button with exactly the text `buttonText` in a dialog (a message box). False when
// the dialog has no such button.
bool ClickButton(HWND dialog, const wchar_t* buttonText);

// The text of a message box's message (its static control), "" when none.
std::wstring MessageBoxText(HWND dialog);

// Message boxes have this window class.
constexpr wchar_t kDialogClass[] = L"#32770";
