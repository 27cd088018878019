#include "tests/wkefake/FakeEngineRemote.h"

#include "platform/WebEngineLoader.h"

#include <gtest/gtest.h>

namespace {

using wkefake::EngineDll;
using wkefake::EngineDllPath;

void* Export(HMODULE module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}

TEST(FakeNodeDll, LoadsThroughTheLoaderWithEveryEntryPointResolved) {
    std::wstring path = EngineDllPath(EngineDll::Complete);
    g_webEngineDllPath = path.c_str();
    ASSERT_EQ(LoadWebEngine(nullptr), 1);
    HMODULE module = GetModuleHandleW(path.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(wkeInitializeEx), Export(module, "wkeInitializeEx"));
#define WKE_EXPECT_EXPORTED(result, name, params) \
    EXPECT_EQ(reinterpret_cast<void*>(name), Export(module, #name)) << #name;
    WKE_API_ENTRIES(WKE_EXPECT_EXPORTED)
#undef WKE_EXPECT_EXPORTED
    // The DLL's views are distinct and its strings survive the call that made them.
    EXPECT_NE(wkeCreateWebView(), wkeCreateWebView());
    EXPECT_STREQ(wkeGetStringW(wkeCreateStringW(L"abc", 2)), L"ab");
}

TEST(FakeNodeDll, DefectiveVariantsLackWhatTheirNamesSay) {
    HMODULE lacking = LoadLibraryW(EngineDllPath(EngineDll::LackingEntries).c_str());
    ASSERT_NE(lacking, nullptr);
    EXPECT_NE(Export(lacking, "wkeInitializeEx"), nullptr);
    EXPECT_NE(Export(lacking, "wkeGetCaretRect"), nullptr);
    EXPECT_EQ(Export(lacking, "wkeGetCaret"), nullptr);
    EXPECT_EQ(Export(lacking, "wkeOnDownload"), nullptr);

    std::wstring noInit = EngineDllPath(EngineDll::WithoutInitialize);
    g_webEngineDllPath = noInit.c_str();
    EXPECT_EQ(LoadWebEngine(nullptr), 0);
    EXPECT_FALSE(IsWebEngineLoaded());
}

TEST(FakeNodeDll, CommandsFromAnotherProcessDriveTheEngineAndTheLogShowsTheCalls) {
    wkefake::RemoteEngine remote;
    std::wstring log = wkefake::NewEngineLogPath();
    ASSERT_FALSE(log.empty());
    ASSERT_TRUE(remote.Start(wkefake::FromBuildTreePath(L"" WKEFAKE_HOST), L"", log));

    EXPECT_EQ(remote.Command("document-ready last"), std::optional<std::string>("true"));
    EXPECT_TRUE(remote.WaitForLogLine("wkeRunJS #1 \"documentReady()\"", 20000));
    EXPECT_EQ(remote.Command("call echo " + wkefake::QuoteCommandArg("two words")),
              std::optional<std::string>("\"two words\""));
    EXPECT_EQ(remote.Command("call echo"), std::optional<std::string>("undefined"));
    EXPECT_EQ(remote.Command("call caller"), std::optional<std::string>("\"unknown\""));
    EXPECT_EQ(remote.Command("call-from last sub http://ad.test/ caller"),
              std::optional<std::string>("\"sub http://ad.test/\""));
    EXPECT_EQ(remote.Command("call-from #9 main http://x.test/ caller"),
              std::optional<std::string>("error no such view"));
    EXPECT_EQ(remote.Command("navigation last 0 http://x.test/"), std::optional<std::string>("none"));
    EXPECT_EQ(remote.Command("call quit"), std::optional<std::string>("undefined"));
    EXPECT_EQ(remote.WaitForExit(20000), std::optional<DWORD>(0));
    DeleteFileW(log.c_str());
}

}  // namespace
