// CUpdateWnd: the update window. It shows a progress bar while the new installer downloads on a
// thread of its own, and closes once the installer has been started or the failure told.
#pragma once

#include "app/DownloadListener.h"
#include "duilib/UIProgress.h"
#include "duilib/UIString.h"
#include "duilib/WindowImplBase.h"
#include "update/UpdateDownload.h"

class CUpdateWnd : public WindowImplBase, public IDownHandler {
public:
    explicit CUpdateWnd(CDuiString strUpdateUrl);

    CDuiString GetUpdateUrl() const { return m_strUpdateUrl; }

    const wchar_t* GetWindowClassName() const override { return L"UpdateWnd"; }
    // Deletes the object once its window is gone.
    void OnFinalMessage(HWND hWnd) override;
    ~CUpdateWnd() override;
    // Finds the bar and starts the download.
    void InitWindow() override;
    CDuiString GetSkinFile() override { return L"XML_UPDATE"; }
    // Every close request (close button, system menu, the download's own) ends the message loop
    // without destroying the window, and closes the download's gate first, so nothing the
    // download does can follow it.
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

    // On the download thread, while the gate is open.
    void OnDownloadProgress(ULONG progress, ULONG total) override;

private:
    CDuiString m_strUpdateUrl;           // owned: the installer's address
    CProgressUI* m_pProgress = nullptr;  // not owned: the control tree's "progress", null when the skin lacks it
    CUpdateDownload m_download;          // owned: the download thread and its gate
};
