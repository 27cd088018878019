// CPaintManagerUI: the process-wide skin settings (static) and, per skinned window, the
// control tree, layout, double-buffered painting, fonts, the image cache and input routing.
// Everything per window runs on the thread that created the window (the UI thread), except
// PostAsyncRepaint and IsUIThread.
#pragma once

#include "common/Handles.h"
#include "duilib/UIDefine.h"
#include "duilib/UIRender.h"
#include "duilib/UIStringPtrMap.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CControlUI;

// Resource types: where skin files come from.
enum {
    UILIB_FILE = 1,         // loose files in the resource folder
    UILIB_ZIPRESOURCE = 4,  // a zip archive held in the program's resources (SetResourceZip)
};

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Process-wide settings. Set on the UI thread at start-up, before any window exists.
    static void SetInstance(HINSTANCE hInst);
    static HINSTANCE GetInstance();
    // The module whose resources hold the skin: the instance.
    static HINSTANCE GetResourceDll();
    // The folder of the program file, with a trailing backslash.
    static CDuiString GetInstancePath();
    static void SetResourceType(int type);
    static int GetResourceType();
    // The folder that skin files are read from when no archive is registered; a trailing
    // backslash is added when missing.
    static void SetResourcePath(const wchar_t* path);
    static const CDuiString& GetResourcePath();
    // Registers a zip archive in memory as the skin. The bytes are not copied: they must stay
    // valid for the rest of the run (a locked resource does). False, and no archive registered,
    // when the archive is damaged or a password is given (encrypted archives are refused).
    static bool SetResourceZip(const void* bytes, unsigned size, const wchar_t* password = nullptr);
    static bool IsResourceZipSet();

    // Runs the thread's message loop until WM_QUIT.
    static void MessageLoop();

    // Per window.
    void Init(HWND hWnd);
    HWND GetPaintWindow() const { return m_hWndPaint; }
    bool IsUIThread() const;
    POINT GetMousePos() const { return m_ptLastMousePos; }
    SIZE GetClientSize() const;

    // Window properties from the skin's Window element.
    SIZE GetInitSize() const { return m_szInitWindowSize; }
    void SetInitSize(int cx, int cy) { m_szInitWindowSize = SIZE{cx, cy}; }
    SIZE GetMinInfo() const { return m_szMinWindow; }
    void SetMinInfo(int cx, int cy) { m_szMinWindow = SIZE{cx, cy}; }
    const RECT& GetCaptionRect() const { return m_rcCaption; }
    void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
    const RECT& GetSizeBox() const { return m_rcSizeBox; }
    void SetSizeBox(const RECT& rc) { m_rcSizeBox = rc; }

    // The control tree. AttachDialog deletes the current tree, takes ownership of the new root,
    // initialises every control and lays the tree out at the window's client size. Null just
    // deletes the tree.
    bool AttachDialog(CControlUI* pRoot);
    CControlUI* GetRoot() const { return m_pRoot; }
    // Registers a control that joined the tree (its name) and runs its DoInit.
    void InitControl(CControlUI* pControl);
    // Forgets a control that is being destroyed.
    void ReapControl(CControlUI* pControl);
    // The first control with this name (null when absent).
    CControlUI* FindControl(const wchar_t* name) const;
    // The topmost visible control at a client point (null outside the tree).
    CControlUI* FindControl(POINT pt) const;

    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* pControl);

    void Invalidate(const RECT& rc);
    // Layout is redone before the next paint.
    void NeedUpdate() { m_bUpdateNeeded = true; }
    // Lays the tree out now when something changed.
    void UpdateLayout();

    bool AddNotifier(INotifyUI* pNotifier);
    bool RemoveNotifier(INotifyUI* pNotifier);
    void SendNotify(CControlUI* pControl, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);
    bool AddMessageFilter(IMessageFilterUI* pFilter);
    bool RemoveMessageFilter(IMessageFilterUI* pFilter);

    // Fonts of the skin by id; id -1 or an unknown id gives the default font.
    void AddFont(int id, const wchar_t* name, int size, bool bold, bool underline, bool italic, bool isDefault);
    HFONT GetFont(int id) const;
    // Skin images, decoded once per window; null when the image cannot be loaded.
    const TImageInfo* GetImage(const wchar_t* file);

    // Controls whose state another thread may change (CProgressUI). PostAsyncRepaint may be
    // called from any thread: the UI thread then repaints every registered control.
    void AddAsyncRepaint(CControlUI* pControl);
    void RemoveAsyncRepaint(CControlUI* pControl);
    void PostAsyncRepaint();

    // Offers a message to the registered message filters; true when one handled it.
    bool FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // The framework's own handling (painting, layout, mouse and keyboard routing).
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Paints the whole client area into `hDC` (WM_PRINTCLIENT, screenshots).
    void PaintTo(HDC hDC);

private:
    void SendEvent(CControlUI* pControl, int type, WPARAM wParam, LPARAM lParam, POINT pt);
    void OnMouseMove(WPARAM wParam, LPARAM lParam);
    void OnPaint();
    // Renders `dirty` of the client area into the back buffer; null when there is nothing to draw.
    HDC RenderOffscreen(const RECT& dirty);

    HWND m_hWndPaint = nullptr;
    DWORD m_dwThreadId = 0;
    CControlUI* m_pRoot = nullptr;        // owned
    CControlUI* m_pFocus = nullptr;       // in the tree, not owned
    CControlUI* m_pEventHover = nullptr;  // in the tree, not owned
    CControlUI* m_pEventClick = nullptr;  // in the tree, not owned
    bool m_bMouseTracking = false;
    bool m_bUpdateNeeded = false;
    POINT m_ptLastMousePos{-1, -1};
    SIZE m_szInitWindowSize{};
    SIZE m_szMinWindow{};
    RECT m_rcCaption{};
    RECT m_rcSizeBox{};

    CStdStringPtrMap m_mNameHash;  // name -> CControlUI*, not owned
    std::vector<INotifyUI*> m_notifiers;         // not owned
    std::vector<IMessageFilterUI*> m_filters;    // not owned
    std::vector<CControlUI*> m_asyncControls;    // in the tree, not owned
    std::atomic<bool> m_bAsyncRepaintPosted{false};

    std::map<int, UniqueFont> m_fonts;
    int m_defaultFontId = -1;
    std::map<std::wstring, std::unique_ptr<TImageInfo>> m_images;  // null entries: failed loads

    // Back buffer of the client area; the bitmap stays selected into the DC, which is
    // declared after it so that it is deleted first.
    UniqueBitmap m_offscreenBitmap;
    UniqueMemDC m_offscreenDC;
    SIZE m_offscreenSize{};
};
