// Which stopped document requests wait for the navigation handler on the UI thread.
#include <gtest/gtest.h>

#include <string>

#include "engine/policy/NavigationGate.h"

namespace {

using Verdict = NavigationGate::Verdict;

Json Message(const std::string& text) { return Json::Parse(text.data(), text.size()); }

Json Requested(const char* frame, const char* reason, const char* disposition = "currentTab") {
    return Message(std::string("{\"frameId\":\"") + frame + "\",\"reason\":\"" + reason + "\",\"disposition\":\"" +
                   disposition + "\"}");
}

Json Paused(const char* frame, bool redirect = false) {
    return Message(std::string("{\"requestId\":\"r\",\"frameId\":\"") + frame + "\"" +
                   (redirect ? ",\"redirectedRequestId\":\"q\"" : "") + "}");
}

TEST(NavigationGate, OnlyThePagesOwnMainFrameNavigationsWaitForItsHandlerOnceEach) {
    NavigationGate gate;
    std::string reason;
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::NotOurs);

    gate.AddPage("s", "main", true);
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::GoOn) << "a load the caller started";

    gate.OnNavigationRequested("s", Requested("main", "anchorClick"));
    EXPECT_EQ(gate.Decide("s", Paused("sub"), &reason), Verdict::GoOn) << "a sub-frame's request";
    ASSERT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::Judge);
    EXPECT_EQ(reason, "anchorClick");
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::GoOn) << "the page asked once";

    gate.OnNavigationRequested("s", Requested("sub", "scriptInitiated"));
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::GoOn) << "a sub-frame asked, not the page";
    gate.OnNavigationRequested("s", Requested("main", "anchorClick", "newTab"));
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::GoOn) << "a new window is not this page's";

    gate.OnNavigationRequested("s", Requested("main", "formSubmissionGet"));
    EXPECT_EQ(gate.Decide("s", Paused("main", true), &reason), Verdict::GoOn) << "a redirect";
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::GoOn) << "the redirect answered the request";

    gate.OnNavigationRequested("s", Requested("main", ""));
    gate.ForgetRequested("s");
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::GoOn) << "the caller's load replaced it";

    gate.OnNavigationRequested("s", Requested("main", ""));
    ASSERT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::Judge) << "a reason the browser left empty";
    EXPECT_EQ(reason, "other");
}

TEST(NavigationGate, APageWithoutAHandlerOrRemovedIsNotHeld) {
    NavigationGate gate;
    std::string reason;
    gate.AddPage("s", "main", false);
    gate.OnNavigationRequested("s", Requested("main", "reload"));
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::GoOn);

    gate.SetJudged("s", true);
    gate.OnNavigationRequested("s", Requested("main", "reload"));
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::Judge);

    gate.OnNavigationRequested("s", Requested("main", "reload"));
    gate.RemovePage("s");
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::NotOurs);
    gate.OnNavigationRequested("s", Requested("main", "reload"));
    EXPECT_EQ(gate.Decide("s", Paused("main"), &reason), Verdict::NotOurs) << "a removed page stays removed";
}

}  // namespace
