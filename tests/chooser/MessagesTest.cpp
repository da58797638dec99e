// The chooser's catalogue: the hook library's rows, the e-mail block two higher.
#include <gtest/gtest.h>

#include <thread>

#include "ChuselMessages.h"
#include "FakePresenter.h"
#include "ZintraMessages.h"
#include "basErrorHandler.h"
#include "basStrings.h"

namespace {

class ChuselMessagesTest : public ::testing::Test {
protected:
    void SetUp() override { SetMessageRows(ChuselMessageRow, ChuselMessageRanges); }
    void TearDown() override { ErrorHandler(ehClearAll); }
    FakePresenter boxes;
};

// As the box shows it: wrapped at 50 characters.
std::wstring HookText(long n) {
    std::wstring text, title;
    ZintraMessageRow(n, text, title);
    return StrWrap(text, 50);
}

}  // namespace

TEST_F(ChuselMessagesTest, RowsAndRanges) {
    const struct {
        long n;
        std::wstring text;  // the box's text starts with it
        long style;
    } cases[] = {
        {4001, HookText(4001), StyleCritical},
        {4503, HookText(4501), StyleInformation},
        {4512, StrWrap(L"Sorry, it apprears that you do not have a default email program set on your computer.", 50),
         StyleInformation},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        boxes.shown.clear();
        MessageHandler(MessageBase + c.n);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].prompt.substr(0, c.text.size()), c.text);
        EXPECT_EQ(boxes.shown[0].style, c.style);
    }
    std::wstring text, title;
    EXPECT_FALSE(ChuselMessageRow(4502, text, title));
    EXPECT_FALSE(ChuselMessageRow(4513, text, title));
    EXPECT_FALSE(ChuselMessageRow(4514, text, title));
    EXPECT_TRUE(ChuselMessageRow(4510, text, title));
    EXPECT_EQ(StrWrap(text, 50), HookText(4508));
}

TEST_F(ChuselMessagesTest, InformationBoxesTitledInformation) {
    MessageHandler(MessageBase + 4505);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title.substr(0, 11), L"Information");
    EXPECT_EQ(boxes.shown[0].prompt.substr(0, HookText(4503).size()), HookText(4503));
}

TEST_F(ChuselMessagesTest, NothingIsSeenWhileARequestIsHandled) {
    InstallRequestSilencePresenter();
    {
        RequestSilence silence;
        MessageHandler(MessageBase + 4503);
        MessageHandler(MessageBase + 4502);
    }
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(boxes.beeps, 0);
    MessageHandler(MessageBase + 4503);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(ChuselMessagesTest, EachServerThreadKeepsItsOwnErrorTrace) {
    // A trap three levels deep on another thread of the server.
    std::wstring prompt;
    short otherLevelAfter = -1;
    std::thread other([&] {
        ProcGuard one, two;
        TrappedVoid(L"DeepProcedure", [] { vb::Raise(vb::ErrInvalidCall); });
        otherLevelAfter = StackLevel();
    });
    ProcGuard mine;
    const short myLevel = StackLevel();
    other.join();
    EXPECT_EQ(StackLevel(), myLevel);
    EXPECT_EQ(ErrorHandler(ehCount).ToLong(), 0);
    EXPECT_EQ(otherLevelAfter, 2);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].style, StyleCritical);
    EXPECT_NE(boxes.shown[0].prompt.find(L"CD: 3"), std::wstring::npos) << boxes.shown[0].prompt;
    EXPECT_NE(boxes.shown[0].prompt.find(L"DeepProcedure"), std::wstring::npos);
}
