#include "core/DownloadListener.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every forwarded event as text, with its arguments.
class RecordingHandler : public IDownHandler {
public:
    void OnDownloadData(STGMEDIUM* medium, DWORD size, DWORD flags) override {
        events.push_back("data " + std::to_string(reinterpret_cast<uintptr_t>(medium)) + " " +
                         std::to_string(size) + " " + std::to_string(flags));
    }
    void OnDownloadProgress(ULONG progress, ULONG total) override {
        events.push_back("progress " + std::to_string(progress) + " " + std::to_string(total));
    }
    void OnDownloadStart(DWORD reserved, IBinding* binding) override {
        events.push_back("start " + std::to_string(reserved) + " " + std::to_string(reinterpret_cast<uintptr_t>(binding)));
    }
    void OnDownloadStop(HRESULT result, LPCWSTR error) override {
        events.push_back("stop " + std::to_string(result) + " " + (error ? "text" : "null"));
    }
    std::vector<std::string> events;
};

IBinding* const kBinding = reinterpret_cast<IBinding*>(uintptr_t{0x1234});

TEST(DownloadListener, ForwardsEachEventWithItsArgumentsInOrder) {
    RecordingHandler handler;
    COpenUrlListener listener(&handler);
    STGMEDIUM medium{};
    FORMATETC format{};

    EXPECT_EQ(S_OK, listener.OnStartBinding(7, kBinding));
    EXPECT_EQ(S_OK, listener.OnProgress(250, 1000, BINDSTATUS_DOWNLOADINGDATA, L"status"));
    EXPECT_EQ(S_OK, listener.OnDataAvailable(BSCF_LASTDATANOTIFICATION, 42, &format, &medium));
    EXPECT_EQ(S_OK, listener.OnStopBinding(E_FAIL, L"failed"));

    const std::vector<std::string> expected = {
        "start 7 " + std::to_string(reinterpret_cast<uintptr_t>(kBinding)),
        "progress 250 1000",
        "data " + std::to_string(reinterpret_cast<uintptr_t>(&medium)) + " 42 " + std::to_string(BSCF_LASTDATANOTIFICATION),
        "stop " + std::to_string(E_FAIL) + " text",
    };
    EXPECT_EQ(expected, handler.events);
}

TEST(DownloadListener, ProgressWithoutTotalReachesNoHandler) {
    RecordingHandler handler;
    COpenUrlListener listener(&handler);
    EXPECT_EQ(S_OK, listener.OnProgress(500, 0, BINDSTATUS_DOWNLOADINGDATA, nullptr));
    EXPECT_TRUE(handler.events.empty());
    EXPECT_EQ(S_OK, listener.OnProgress(0xFFFFFFFFu, 0xFFFFFFFFu, BINDSTATUS_ENDDOWNLOADDATA, nullptr));
    ASSERT_EQ(1u, handler.events.size());
    EXPECT_EQ("progress 4294967295 4294967295", handler.events[0]);
}

TEST(DownloadListener, WithoutHandlerAcceptsEveryEvent) {
    COpenUrlListener listener;
    STGMEDIUM medium{};
    EXPECT_EQ(S_OK, listener.OnStartBinding(0, nullptr));
    EXPECT_EQ(S_OK, listener.OnProgress(1, 2, 0, nullptr));
    EXPECT_EQ(S_OK, listener.OnDataAvailable(0, 1, nullptr, &medium));
    EXPECT_EQ(S_OK, listener.OnStopBinding(S_OK, nullptr));
}

TEST(DownloadListener, AnswersItsOwnInterfacesOnly) {
    COpenUrlListener listener;
    void* result = nullptr;
    EXPECT_EQ(S_OK, listener.QueryInterface(IID_IUnknown, &result));
    EXPECT_EQ(static_cast<IBindStatusCallback*>(&listener), result);
    result = nullptr;
    EXPECT_EQ(S_OK, listener.QueryInterface(IID_IBindStatusCallback, &result));
    EXPECT_EQ(static_cast<IBindStatusCallback*>(&listener), result);
    result = &listener;
    EXPECT_EQ(E_NOINTERFACE, listener.QueryInterface(IID_IStream, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(E_POINTER, listener.QueryInterface(IID_IUnknown, nullptr));
}

TEST(DownloadListener, CountsNoReferencesAndDeclinesTheRest) {
    COpenUrlListener listener;
    EXPECT_EQ(0u, listener.AddRef());
    EXPECT_EQ(0u, listener.Release());
    LONG priority = 0;
    EXPECT_EQ(E_NOTIMPL, listener.GetPriority(&priority));
    EXPECT_EQ(E_NOTIMPL, listener.OnLowResource(0));
    EXPECT_EQ(E_NOTIMPL, listener.OnObjectAvailable(IID_IUnknown, nullptr));
}

TEST(DownloadListener, BindInfoSucceedsAndLeavesTheCallersFlags) {
    COpenUrlListener listener;
    DWORD flags = BINDF_ASYNCHRONOUS | BINDF_GETNEWESTVERSION;
    BINDINFO info{};
    info.cbSize = sizeof info;
    info.dwBindVerb = BINDVERB_GET;
    EXPECT_EQ(S_OK, listener.GetBindInfo(&flags, &info));
    EXPECT_EQ(static_cast<DWORD>(BINDF_ASYNCHRONOUS | BINDF_GETNEWESTVERSION), flags);
    EXPECT_EQ(static_cast<DWORD>(sizeof info), info.cbSize);
    EXPECT_EQ(static_cast<DWORD>(BINDVERB_GET), info.dwBindVerb);
}

}  // namespace
