// The rules that keep a page from burying the player: popups only within a second of a click or
// key press, one per press; no dialog after dialog.
#include <gtest/gtest.h>

#include "engine/policy/DialogGuard.h"
#include "engine/policy/UserActivation.h"

namespace {

TEST(UserActivation, GivesOnePopupPerPressWithinASecondCountedFromWhenTheBrowserTookIt) {
    UserActivation activation;
    EXPECT_FALSE(activation.Consume("S", 100)) << "no press yet";
    activation.Grant("S", 1000);
    EXPECT_FALSE(activation.Consume("other", 1010)) << "a press counts for its own view only";
    EXPECT_TRUE(activation.Consume("S", 2000));
    EXPECT_FALSE(activation.Consume("S", 2000)) << "one popup per press";

    activation.Grant("S", 5000);
    EXPECT_FALSE(activation.Consume("S", 6001)) << "a second has passed";

    // The browser took the press late: the second counts from then, for that press only.
    const unsigned late = activation.Grant("S", 10000);
    activation.Refresh("S", late, 10800);
    EXPECT_TRUE(activation.Consume("S", 11700));
    activation.Refresh("S", late, 20000);
    EXPECT_FALSE(activation.Consume("S", 20010)) << "a used press stays used";
    const unsigned older = activation.Grant("S", 30000);
    activation.Grant("S", 30100);
    activation.Refresh("S", older, 40000);
    EXPECT_FALSE(activation.Consume("S", 40010)) << "an older press cannot renew a newer one";

    activation.Grant("S", 50000);
    activation.Remove("S");
    EXPECT_FALSE(activation.Consume("S", 50010));
}

TEST(DialogGuard, OneAtATimeAndNoMoreAfterThreeQuickOnesUntilThePageNavigates) {
    DialogGuard dialogs;
    EXPECT_EQ(dialogs.Opening("S", 0), DialogGuard::Verdict::Show);
    EXPECT_EQ(dialogs.Opening("S", 10), DialogGuard::Verdict::Refuse) << "one is open";
    EXPECT_EQ(dialogs.Opening("other", 10), DialogGuard::Verdict::Show) << "another view has its own";
    dialogs.Closed("S", 100);
    // Three dialogs right after their previous one closed are shown; the fourth in 5 s is not.
    DWORD now = 100;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dialogs.Opening("S", now + 5), DialogGuard::Verdict::Show) << i;
        now += 400;
        dialogs.Closed("S", now);
    }
    EXPECT_EQ(dialogs.Opening("S", now + 5), DialogGuard::Verdict::RefuseFromNow);
    EXPECT_EQ(dialogs.Opening("S", now + 20000), DialogGuard::Verdict::Refuse) << "until it navigates";
    dialogs.Navigated("S");
    EXPECT_EQ(dialogs.Opening("S", now + 20010), DialogGuard::Verdict::Show);
    dialogs.Closed("S", now + 20100);

    // Dialogs that come a while after the last one closed do not count, and quick ones spread
    // over more than 5 s never make four.
    now += 30000;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(dialogs.Opening("S", now), DialogGuard::Verdict::Show) << i;
        now += 1500;
        dialogs.Closed("S", now);
        now += i % 3 == 2 ? 2000 : 10;
    }
}

}  // namespace
