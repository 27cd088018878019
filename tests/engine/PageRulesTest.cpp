// The rules that keep a page from burying the player: popups only within a second of a click or
// key press, one per press; no dialog after dialog.
#include <gtest/gtest.h>

#include "engine/policy/DialogGuard.h"
#include "engine/policy/UserActivation.h"

namespace {

TEST(UserActivation, GivesOnePopupPerPressWithinASecondCountedFromWhenTheBrowserTookIt) {
    UserActivation activation;
    EXPECT_FALSE(activation.Consume(100)) << "no press yet";
    activation.Grant(1000);
    EXPECT_TRUE(activation.Consume(2000));
    EXPECT_FALSE(activation.Consume(2000)) << "one popup per press";

    activation.Grant(5000);
    EXPECT_FALSE(activation.Consume(6001)) << "a second has passed";

    // The browser took the press late: the second counts from then, for that press only.
    const unsigned late = activation.Grant(10000);
    activation.Refresh(late, 10800);
    EXPECT_TRUE(activation.Consume(11700));
    activation.Refresh(late, 20000);
    EXPECT_FALSE(activation.Consume(20010)) << "a used press stays used";
    const unsigned older = activation.Grant(30000);
    activation.Grant(30100);
    activation.Refresh(older, 40000);
    EXPECT_FALSE(activation.Consume(40010)) << "an older press cannot renew a newer one";
}

TEST(DialogGuard, OneAtATimeAndNoMoreAfterThreeQuickOnesUntilThePageNavigates) {
    DialogGuard dialogs;
    EXPECT_EQ(dialogs.Opening(0), DialogGuard::Verdict::Show);
    EXPECT_EQ(dialogs.Opening(10), DialogGuard::Verdict::Refuse) << "one is open";
    dialogs.Closed(100);
    // Three dialogs right after their previous one closed are shown; the fourth in 5 s is not.
    DWORD now = 100;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dialogs.Opening(now + 5), DialogGuard::Verdict::Show) << i;
        now += 400;
        dialogs.Closed(now);
    }
    EXPECT_EQ(dialogs.Opening(now + 5), DialogGuard::Verdict::RefuseFromNow);
    EXPECT_EQ(dialogs.Opening(now + 20000), DialogGuard::Verdict::Refuse) << "until it navigates";
    dialogs.Navigated();
    EXPECT_EQ(dialogs.Opening(now + 20010), DialogGuard::Verdict::Show);
    dialogs.Closed(now + 20100);

    // Dialogs that come a while after the last one closed do not count, and quick ones spread
    // over more than 5 s never make four.
    now += 30000;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(dialogs.Opening(now), DialogGuard::Verdict::Show) << i;
        now += 1500;
        dialogs.Closed(now);
        now += i % 3 == 2 ? 2000 : 10;
    }
}

}  // namespace
