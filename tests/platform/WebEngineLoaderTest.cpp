#include "platform/WebEngineLoader.h"

#include "common/Handles.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WindowFinder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

namespace {

std::wstring BesideTest(const wchar_t* name) { return ProgramFolder() + name; }

// Answers every message box of this process with OK until `done` is signalled, recording
// each box's caption and text.
class BoxAnswerer {
public:
    BoxAnswerer() : m_done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        m_thread = std::thread([this] { Run(); });
    }
    ~BoxAnswerer() { Finish(); }
    void Finish() {
        SetEvent(m_done.Get());
        if (m_thread.joinable()) m_thread.join();
    }
    std::multiset<std::string> captions;
    std::set<std::wstring> texts;

private:
    void Run() {
        std::set<HWND> seen;
        while (WaitForSingleObject(m_done.Get(), 0) != WAIT_OBJECT_0) {
            for (const FoundWindow& window : VisibleTopLevelWindows()) {
                if (window.processId != GetCurrentProcessId() || window.className != kDialogClass) continue;
                if (seen.insert(window.hwnd).second) {
                    captions.insert(std::string(window.title.begin(), window.title.end()));
                    texts.insert(MessageBoxText(window.hwnd));
                }
                // Clicked again on every pass until it has gone: a box still being set up may
                // not take the first click.
                ClickButton(window.hwnd, L"OK");
            }
            WaitForSingleObject(m_done.Get(), 10);
        }
    }
    UniqueHandle m_done;
    std::thread m_thread;
};

TEST(WebEngineLoader, MissingEntryPointIsReportedOnceAndAnswersEmpty) {
    const std::wstring path = BesideTest(L"engine_missing_one.dll");
    g_webEngineDllPath = path.c_str();
    wkeSettings settings{};
    BoxAnswerer answerer;
    const int result = LoadWebEngine(&settings);
    answerer.Finish();

    EXPECT_EQ(1, result);
    EXPECT_TRUE(IsWebEngineLoaded());
    EXPECT_EQ(std::multiset<std::string>{"wkeSetName"}, answerer.captions);
    EXPECT_EQ(std::set<std::wstring>{L"wke api not found"}, answerer.texts);

    // The initialiser ran once, with the caller's settings, and the module stays loaded.
    HMODULE module = GetModuleHandleW(path.c_str());
    ASSERT_NE(nullptr, module);
    auto settingsSeen = reinterpret_cast<const wkeSettings*(WKE_CALL*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "TestInitSettings")));
    auto initCount = reinterpret_cast<int(WKE_CALL*)()>(reinterpret_cast<void*>(GetProcAddress(module, "TestInitCount")));
    ASSERT_NE(nullptr, settingsSeen);
    ASSERT_NE(nullptr, initCount);
    EXPECT_EQ(&settings, settingsSeen());
    EXPECT_EQ(1, initCount());

    // Present entry points are the DLL's own; the missing one is a harmless stand-in.
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module, "wkeCreateWebView")), reinterpret_cast<void*>(wkeCreateWebView));
    ASSERT_NE(nullptr, wkeSetName);
    EXPECT_NE(reinterpret_cast<void*>(GetProcAddress(module, "wkeSetName_absent")), reinterpret_cast<void*>(wkeSetName));
    wkeSetName(nullptr, "view");
}

TEST(WebEngineLoader, EngineWithoutInitialiserIsRefusedSilentlyAndUnloaded) {
    const std::wstring path = BesideTest(L"engine_without_init.dll");
    g_webEngineDllPath = path.c_str();
    BoxAnswerer answerer;
    const int result = LoadWebEngine(nullptr);
    answerer.Finish();

    EXPECT_EQ(0, result);
    EXPECT_FALSE(IsWebEngineLoaded());
    EXPECT_TRUE(answerer.captions.empty());
    EXPECT_EQ(nullptr, GetModuleHandleW(path.c_str()));
}

TEST(WebEngineLoader, MissingLibraryIsRefusedSilently) {
    const std::wstring path = BesideTest(L"no_such_engine.dll");
    g_webEngineDllPath = path.c_str();
    BoxAnswerer answerer;
    EXPECT_EQ(0, LoadWebEngine(nullptr));
    answerer.Finish();
    EXPECT_FALSE(IsWebEngineLoaded());
    EXPECT_TRUE(answerer.captions.empty());
}

}  // namespace
