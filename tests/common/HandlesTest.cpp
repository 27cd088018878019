#include "common/Handles.h"

#include <gtest/gtest.h>

namespace {
bool IsOpen(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != 0;
}
}  // namespace

TEST(Handles, UniqueHandleClosesOnceAndMoves) {
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(raw);
    {
        UniqueHandle first(raw);
        UniqueHandle second(std::move(first));
        EXPECT_FALSE(first.IsValid());
        EXPECT_EQ(second.Get(), raw);
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));
}

TEST(Handles, SelectedObjectRestoresThePreviousSelection) {
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc.Get());
    HGDIOBJ before = GetCurrentObject(dc.Get(), OBJ_BITMAP);
    UniqueBitmap bitmap(CreateCompatibleBitmap(dc.Get(), 4, 4));
    {
        SelectedObject selected(dc.Get(), bitmap.Get());
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), bitmap.Get());
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), before);
}
