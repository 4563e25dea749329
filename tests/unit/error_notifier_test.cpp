#include "ui/program/error_notifier.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/unit/program_test.h"

namespace {

using ::testing::IsEmpty;

class ErrorNotifierTest : public test::ProgramTest {
protected:
    HWND const box = reinterpret_cast<HWND>(0x1003);
    HWND const desktop = reinterpret_cast<HWND>(0x10);
    HWND const progress = reinterpret_cast<HWND>(0x129);
};

TEST_F(ErrorNotifierTest, ShowsAYesNoNoticeOwnedByItsCaller) {
    NotifyError(progress, "Bad file.\n\nDo you wish to receive further error notification?");
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].owner, progress);
    EXPECT_EQ(user.boxes[0].text, "Bad file.\n\nDo you wish to receive further error notification?");
    EXPECT_EQ(user.boxes[0].caption, "Kelvane Converter");
    EXPECT_EQ(user.boxes[0].style, 0x44u);
}

TEST_F(ErrorNotifierTest, WithoutAnOwnerTheDesktopOwnsIt) {
    ownerFallbackWindow = desktop;
    NotifyError(nullptr, "a");
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].owner, desktop);
}

TEST_F(ErrorNotifierTest, NoSilencesEveryLaterNoticeAndTicksTheBox) {
    errorsCheckBox = box;
    user.Answer(IDNO);
    NotifyError(progress, "first");
    EXPECT_FALSE(showErrors);
    ASSERT_EQ(user.sent.size(), 1u);
    EXPECT_EQ(user.sent[0].window, box);
    EXPECT_EQ(user.sent[0].message, static_cast<UINT>(BM_SETCHECK));
    EXPECT_EQ(user.sent[0].wParam, static_cast<WPARAM>(BST_CHECKED));
    EXPECT_EQ(user.sent[0].lParam, 0);

    NotifyError(progress, "second");
    EXPECT_EQ(user.boxes.size(), 1u);
    // Unticking the box (the main window sets showErrors from it) turns them on again.
    showErrors = true;
    NotifyError(progress, "third");
    EXPECT_EQ(user.boxes.size(), 2u);
}

TEST_F(ErrorNotifierTest, YesOrAFailedBoxChangesNothing) {
    errorsCheckBox = box;
    user.Answer(IDYES);
    user.Answer(0);
    NotifyError(progress, "first");
    NotifyError(progress, "second");
    EXPECT_TRUE(showErrors);
    EXPECT_THAT(user.sent, IsEmpty());
    EXPECT_EQ(user.boxes.size(), 2u);
}

TEST_F(ErrorNotifierTest, NoBeforeTheBoxIsKnownOnlySilences) {
    user.Answer(IDNO);
    NotifyError(nullptr, "early");
    EXPECT_FALSE(showErrors);
    EXPECT_THAT(user.sent, IsEmpty());
}

}  // namespace
