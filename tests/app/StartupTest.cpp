#include "app/Startup.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Choice {
    FirstPhase phase;
    CDuiString address;
};

Choice Choose(const wchar_t* updateUrl, std::vector<const wchar_t*> arguments, bool engineLoaded = true) {
    std::vector<wchar_t*> argv;
    argv.push_back(const_cast<wchar_t*>(L"C:\\Orvel\\OrvelClient.exe"));
    for (const wchar_t* argument : arguments) argv.push_back(const_cast<wchar_t*>(argument));
    Choice choice{FirstPhase::None, CDuiString()};
    choice.phase = ChooseFirstPhase(updateUrl, static_cast<int>(argv.size()), argv.data(), engineLoaded, choice.address);
    return choice;
}

TEST(ChooseFirstPhase, PrefixIsRemovedEverywhereWithExactCase) {
    Choice choice = Choose(L"", {L"orvelclient://http://game.example/play?sid=1"});
    EXPECT_EQ(FirstPhase::Game, choice.phase);
    EXPECT_STREQ(L"http://game.example/play?sid=1", choice.address.GetData());

    choice = Choose(L"", {L"orvelclient://http://a/orvelclient://b?c=orvelclient://"});
    EXPECT_EQ(FirstPhase::Game, choice.phase);
    EXPECT_STREQ(L"http://a/b?c=", choice.address.GetData());

    choice = Choose(L"", {L"ORVELCLIENT://http://a/"});
    EXPECT_EQ(FirstPhase::Game, choice.phase);
    EXPECT_STREQ(L"ORVELCLIENT://http://a/", choice.address.GetData());
}

TEST(ChooseFirstPhase, ArgumentWithoutPrefixIsTheAddressAndLaterOnesAreIgnored) {
    Choice choice = Choose(L"", {L"http://game.example/", L"orvelclient://second"});
    EXPECT_EQ(FirstPhase::Game, choice.phase);
    EXPECT_STREQ(L"http://game.example/", choice.address.GetData());
}

TEST(TakeSwitch, TakesTheSwitchWhereverItStandsSoTheAddressComesFirst) {
    std::vector<const wchar_t*> arguments = {L"C:\\Orvel\\OrvelClient.exe", L"--Clean-Profile",
                                             L"orvelclient://http://a/", kCleanProfileSwitch};
    std::vector<wchar_t*> argv;
    for (const wchar_t* argument : arguments) argv.push_back(const_cast<wchar_t*>(argument));
    int argc = static_cast<int>(argv.size());
    EXPECT_TRUE(TakeSwitch(argc, argv.data(), kCleanProfileSwitch));
    ASSERT_EQ(argc, 2);
    EXPECT_STREQ(argv[1], L"orvelclient://http://a/");
    EXPECT_FALSE(TakeSwitch(argc, argv.data(), kCleanProfileSwitch));
    EXPECT_EQ(argc, 2);
    // A switch that merely starts the same way is an argument like any other.
    wchar_t* similar[] = {const_cast<wchar_t*>(L"x.exe"), const_cast<wchar_t*>(L"--clean-profiles")};
    int similarCount = 2;
    EXPECT_FALSE(TakeSwitch(similarCount, similar, kCleanProfileSwitch));
    EXPECT_EQ(similarCount, 2);
}

TEST(ChooseFirstPhase, PrefixAloneLeavesNothingToShow) {
    Choice choice = Choose(L"", {L"orvelclient://"});
    EXPECT_EQ(FirstPhase::None, choice.phase);
    EXPECT_TRUE(choice.address.IsEmpty());
    EXPECT_FALSE(ShouldRunGameWindow(choice.address, true));
}

TEST(ChooseFirstPhase, NoOrEmptyArgumentShowsTheLoginWindow) {
    EXPECT_EQ(FirstPhase::Login, Choose(L"", {}).phase);
    Choice empty = Choose(L"", {L""});
    EXPECT_EQ(FirstPhase::Login, empty.phase);
    EXPECT_TRUE(empty.address.IsEmpty());

    // A failed split of the command line reads as no argument.
    CDuiString address;
    EXPECT_EQ(FirstPhase::Login, ChooseFirstPhase(L"", 0, nullptr, true, address));
    EXPECT_EQ(FirstPhase::Login, ChooseFirstPhase(L"", 3, nullptr, true, address));
    EXPECT_TRUE(address.IsEmpty());
}

TEST(ChooseFirstPhase, DueUpdateWinsOverAnArgument) {
    Choice choice = Choose(L"http://127.0.0.1:18480/client/qemox/Velmark/update_2.exe", {L"orvelclient://http://a/"});
    EXPECT_EQ(FirstPhase::Update, choice.phase);
    EXPECT_TRUE(choice.address.IsEmpty());
    EXPECT_FALSE(ShouldRunGameWindow(choice.address, true));
}

TEST(ChooseFirstPhase, WithoutEngineOnlyTheUpdateWindowIsShown) {
    EXPECT_EQ(FirstPhase::None, Choose(L"", {}, false).phase);
    Choice game = Choose(L"", {L"orvelclient://http://a/"}, false);
    EXPECT_EQ(FirstPhase::None, game.phase);
    EXPECT_FALSE(ShouldRunGameWindow(game.address, false));
    EXPECT_EQ(FirstPhase::Update, Choose(L"http://u/update_2.exe", {}, false).phase);
}

TEST(ShouldRunGameWindow, NeedsAnAddressAndAnEngine) {
    EXPECT_TRUE(ShouldRunGameWindow(L"http://a/", true));
    EXPECT_FALSE(ShouldRunGameWindow(L"", true));
    EXPECT_FALSE(ShouldRunGameWindow(L"http://a/", false));
}

}  // namespace
