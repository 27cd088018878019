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
    NavigationGate gate("main", true);
    std::string reason;
    EXPECT_EQ(gate.Decide(Paused("main"), &reason), Verdict::GoOn) << "a load the caller started";

    gate.OnNavigationRequested(Requested("main", "anchorClick"));
    EXPECT_EQ(gate.Decide(Paused("sub"), &reason), Verdict::GoOn) << "a sub-frame's request";
    ASSERT_EQ(gate.Decide(Paused("main"), &reason), Verdict::Judge);
    EXPECT_EQ(reason, "anchorClick");
    EXPECT_EQ(gate.Decide(Paused("main"), &reason), Verdict::GoOn) << "the page asked once";

    gate.OnNavigationRequested(Requested("sub", "scriptInitiated"));
    EXPECT_EQ(gate.Decide(Paused("main"), &reason), Verdict::GoOn) << "a sub-frame asked, not the page";
    gate.OnNavigationRequested(Requested("main", "anchorClick", "newTab"));
    EXPECT_EQ(gate.Decide(Paused("main"), &reason), Verdict::GoOn) << "a new window is not this page's";

    gate.OnNavigationRequested(Requested("main", "formSubmissionGet"));
    EXPECT_EQ(gate.Decide(Paused("main", true), &reason), Verdict::GoOn) << "a redirect";
    EXPECT_EQ(gate.Decide(Paused("main"), &reason), Verdict::GoOn) << "the redirect answered the request";

    gate.OnNavigationRequested(Requested("main", ""));
    gate.ForgetRequested();
    EXPECT_EQ(gate.Decide(Paused("main"), &reason), Verdict::GoOn) << "the caller's load replaced it";

    gate.OnNavigationRequested(Requested("main", ""));
    ASSERT_EQ(gate.Decide(Paused("main"), &reason), Verdict::Judge) << "a reason the browser left empty";
    EXPECT_EQ(reason, "other");
}

TEST(NavigationGate, APageWithoutAHandlerIsNotHeld) {
    NavigationGate gate("main", false);
    std::string reason;
    gate.OnNavigationRequested(Requested("main", "reload"));
    EXPECT_EQ(gate.Decide(Paused("main"), &reason), Verdict::GoOn);

    gate.SetJudged(true);
    gate.OnNavigationRequested(Requested("main", "reload"));
    EXPECT_EQ(gate.Decide(Paused("main"), &reason), Verdict::Judge);
}

}  // namespace
