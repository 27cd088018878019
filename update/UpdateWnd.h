// CUpdateWnd: the update window. It shows a progress bar while the new installer downloads on a
// thread of its own, and closes once the installer has been started or, on the window's own
// thread, the failure has been told and a page opened in the shell: the installer's address when
// the download failed, the publisher's home page when what was offered or downloaded did not verify.
#pragma once

#include "core/DownloadListener.h"
#include "duilib/UIProgress.h"
#include "duilib/UIString.h"
#include "duilib/WindowImplBase.h"
#include "update/UpdateDownload.h"

class CUpdateWnd : public WindowImplBase, public IDownHandler {
public:
    // `release`: what the server's document says of the release behind `strUpdateUrl`.
    CUpdateWnd(CDuiString strUpdateUrl, UpdateRelease release);

    CDuiString GetUpdateUrl() const { return m_strUpdateUrl; }

    const wchar_t* GetWindowClassName() const override { return L"UpdateWnd"; }
    // Deletes the object once its window is gone.
    void OnFinalMessage(HWND hWnd) override;
    ~CUpdateWnd() override;
    // Finds the bar and starts the download.
    void InitWindow() override;
    CDuiString GetSkinFile() override { return L"XML_UPDATE"; }
    // Every close request (close button, system menu, the end of the download) ends the message
    // loop without destroying the window, and closes the download's gate first, so nothing the
    // download does can follow it.
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    // The download's progress and outcome.
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

    // Moves the bar; on the window's thread.
    void OnDownloadProgress(ULONG progress, ULONG total) override;

protected:
    const CUpdateDownload& Download() const { return m_download; }

private:
    // The download ended: close, or tell the user and open a page first.
    void OnDownloadFinished(UpdateOutcome outcome);

    CDuiString m_strUpdateUrl;           // owned: the installer's address
    CProgressUI* m_pProgress = nullptr;  // not owned: the control tree's "progress", null when the skin lacks it
    UpdateRelease m_release;             // owned
    CUpdateDownload m_download;          // owned: the download thread and its gate
    bool m_bClosing = false;             // a close request ended the loop: later outcomes are ignored
};
