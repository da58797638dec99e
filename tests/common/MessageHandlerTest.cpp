#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basStrings.h"

namespace {

class MessageHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
    }
    void TearDown() override { vb::Err().Clear(); }
    static std::wstring Row(long n) {
        std::wstring text, title;
        LibraryMessageRow(n, text, title);
        return text;
    }
    FakePresenter boxes;
};

struct BoxCase {
    long number;
    const wchar_t* callerTitle;  // nullptr: none passed
    int userAnswer;
    long expectStyle;
    const wchar_t* expectTitle;
    const wchar_t* expectText;  // nullptr: the row of the number
    long expectAnswer;
};

TEST_F(MessageHandlerTest, RangesGiveStyleTitleTextAndAnswer) {
    const BoxCase cases[] = {
        {MessageBase + 4501, nullptr, 1, StyleInformation, L"Information 4501", nullptr, 1},
        {MessageBase + 4501, L"  Alias  ", 1, StyleInformation, L"Alias 4501", nullptr, 1},
        {MessageBase + 5002, nullptr, 6, StyleQuestion, L"Question 5002", nullptr, 6},
        {MessageBase + 5002, nullptr, 7, StyleQuestion, L"Question 5002", nullptr, 7},
        {MessageBase + 4001, nullptr, 7, StyleCritical, L"Error -  4001", nullptr, 1},
        {MessageBase + 4525, L"Mine", 1, StyleInformation, L"Program Missing 4525", nullptr, 1},
        {MessageBase + 4526, nullptr, 1, StyleInformation, L"Association Missing 4526", nullptr, 1},
        // Numbers without a row: the run time's description in a critical box.
        {MessageBase + 4523, nullptr, 1, StyleCritical, L"Information 4523",
         L"Error: Application-defined or object-defined error", -1},
        {MessageBase + 4600, nullptr, 1, StyleCritical, L"Error -  4600",
         L"Error: Application-defined or object-defined error", -1},
        {MessageBase + 6000, nullptr, 1, StyleCritical, L"Error -  &80041770", L"Error: Automation error", -1},
        {53, nullptr, 1, StyleCritical, L"Error -  53", L"Error: File not found", -1},
        {100000, nullptr, 1, StyleCritical, L"Error -  100000", L"Error number not defined.", -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        boxes.shown.clear();
        boxes.beeps = 0;
        boxes.answers = {c.userAnswer};
        std::optional<std::wstring> title;
        if (c.callerTitle) title = c.callerTitle;
        vb::Variant answer = MessageHandler(c.number, title);
        EXPECT_EQ(answer.ToLong(), c.expectAnswer);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.beeps, 1);
        EXPECT_EQ(boxes.shown[0].style, c.expectStyle);
        EXPECT_EQ(boxes.shown[0].title, c.expectTitle);
        std::wstring text = c.expectText ? c.expectText : Row(c.number - MessageBase);
        EXPECT_EQ(boxes.shown[0].prompt, StrWrap(text, 50));
    }
}

TEST_F(MessageHandlerTest, ZeroOneAndTheReservedNumberShowNothing) {
    for (long n : {0L, 1L, 32755L}) {
        std::wstring text = L"kept";
        vb::Variant answer = MessageHandler(n, std::nullopt, &text);
        EXPECT_TRUE(answer.IsNull());
        EXPECT_EQ(text, L"kept");
    }
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(boxes.beeps, 0);
}

TEST_F(MessageHandlerTest, CurrentErrorGivesTheErrorBoxWhateverTheNumber) {
    vb::SetError(vb::ErrFileNotFound, std::wstring(L"SourceText"));
    vb::Variant answer = MessageHandler(MessageBase + 4512, std::wstring(L"Ignored"));
    EXPECT_EQ(answer.ToLong(), -1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, L"Error -  4512   :   h011A0");
    EXPECT_EQ(boxes.shown[0].prompt, StrWrap(L"Error: File not found\r\nSourceText", 50));
    EXPECT_EQ(vb::Err().Number, vb::ErrFileNotFound) << "the current error is left alone";
}

TEST_F(MessageHandlerTest, QuietModeReturnsTheTextWithoutABox) {
    std::wstring text;
    vb::Variant answer = MessageHandler(MessageBase + 4512, std::nullopt, &text, true);
    EXPECT_EQ(answer.ToLong(), 1);
    EXPECT_EQ(text, L"Please select a Program and then try again.");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(boxes.beeps, 0);

    text.clear();
    answer = MessageHandler(MessageBase + 4600, std::nullopt, &text, true);
    EXPECT_EQ(answer.ToLong(), -1);
    EXPECT_EQ(text, L"Error: Application-defined or object-defined error");
}

TEST_F(MessageHandlerTest, CallersOwnTextReplacesTheRowAndTakesTheAnswer) {
    std::wstring text = L"My own words";
    boxes.answers = {7};
    vb::Variant answer = MessageHandler(MessageBase + 4512, std::nullopt, &text);
    EXPECT_EQ(answer.ToLong(), 7);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, L"Information 4512");
    EXPECT_EQ(boxes.shown[0].prompt, StrWrap(L"My own words", 50));

    // An empty text passed in: the row is shown and the box's answer returned, even for errors.
    std::wstring empty;
    boxes.answers = {1};
    answer = MessageHandler(MessageBase + 4600, std::nullopt, &empty);
    EXPECT_EQ(answer.ToLong(), 1);
}

TEST_F(MessageHandlerTest, FailureInsideTheCatalogueAnswersMinusThree) {
    boxes.throwOnShow = true;
    vb::Variant answer = MessageHandler(MessageBase + 4501);
    EXPECT_EQ(answer.ToLong(), -3);
    EXPECT_FALSE(vb::Err().IsCurrent());
}

TEST_F(MessageHandlerTest, RowsNameTheFilesWhereTheyAre) {
    std::wstring text;
    MessageHandler(MessageBase + 4521, std::nullopt, &text, true);
    EXPECT_NE(text.find(L"data file: " + GetArchivePath() + L"."), std::wstring::npos);
    EXPECT_NE(text.find(L"from: " + GetInitialArchivePath() + L"\r\n"), std::wstring::npos);
    text.clear();
    MessageHandler(MessageBase + 4536, std::nullopt, &text, true);
    EXPECT_NE(text.find(L"The file: " + GetIniFilePath() + L" has"), std::wstring::npos);
}

TEST_F(MessageHandlerTest, EveryRowOfTheRangesExistsExceptTheGaps) {
    std::wstring text, title;
    for (long n = 4000; n <= 5009; ++n) {
        bool expected = n == 4001 || n == 4002 || (n >= 4501 && n <= 4549 && n != 4523) || (n >= 5001 && n <= 5008);
        text.clear();
        EXPECT_EQ(LibraryMessageRow(n, text, title), expected) << n;
        if (expected) {
            EXPECT_FALSE(text.empty()) << n;
        }
    }
}

}  // namespace
