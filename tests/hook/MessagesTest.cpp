// The hook library's own catalogue rows on the shared message frame.
#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "ZintraMessages.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "vb/VbText.h"

namespace {

class ZintraCatalogue : public ::testing::Test {
protected:
    void SetUp() override {
        vb::Err().Clear();
        SetMessageRows(ZintraMessageRow, ZintraMessageRanges);
    }
    void TearDown() override { SetMessageRows(nullptr); }
    FakePresenter presenter;
};

}  // namespace

TEST_F(ZintraCatalogue, Row4002IsCritical) {
    MessageHandler(MessageBase + 4002);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].style, StyleCritical);
    std::wstring text;
    std::wstring title;
    ASSERT_TRUE(ZintraMessageRow(4002, text, title));
    EXPECT_EQ(text, L"Error - Cannot perform this action because item has already been used.");
    EXPECT_TRUE(vb::StartsWith(vb::Split(presenter.shown[0].prompt, L"\r\n")[0], L"Error - ", vb::BinaryCompare));
}

TEST_F(ZintraCatalogue, InformationRowTitledInformation) {
    MessageHandler(MessageBase + 4505);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].style, StyleInformation);
    EXPECT_EQ(presenter.shown[0].title, L"Information 4505");
    // The frame wraps the text, which leaves a trailing blank.
    EXPECT_EQ(vb::Trim(presenter.shown[0].prompt), L"Your email has been sent!");
}

TEST_F(ZintraCatalogue, QuestionShowsCallersTextAndAnswers) {
    presenter.answers.push_back(AnswerNo);
    std::wstring text = L"Go on?";
    EXPECT_EQ(MessageHandler(MessageBase + 5001, std::nullopt, &text).ToLong(), AnswerNo);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].style, StyleQuestion);
    EXPECT_EQ(vb::Trim(presenter.shown[0].prompt), L"Go on?");
}

TEST_F(ZintraCatalogue, PlainNumberShowsNothing) {
    EXPECT_TRUE(MessageHandler(32755).IsNull());
    EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(ZintraCatalogue, RowsKeepTheirOwnSpelling) {
    std::wstring text;
    std::wstring title;
    ASSERT_TRUE(ZintraMessageRow(4510, text, title));
    EXPECT_NE(text.find(L"apprears"), std::wstring::npos);
    ASSERT_TRUE(ZintraMessageRow(4503, text, title));
    EXPECT_NE(text.find(L"formatted.  Thanks."), std::wstring::npos);
    EXPECT_FALSE(ZintraMessageRow(4511, text, title));
    EXPECT_FALSE(ZintraMessageRow(4500, text, title));
}

TEST_F(ZintraCatalogue, NumbersPastTheHookRangesHaveNoRowOrRangeTitle) {
    // Outside this catalogue's ranges: numbers without a row. Inside the window (up to 5001)
    // the number is shown short, past it in full.
    const struct {
        long n;
        std::wstring title;
    } cases[] = {
        {4512, L"Error -  4512"},
        {5002, L"Error -  &" + vb::Hex(MessageBase + 5002)},
    };
    for (const auto& c : cases) {
        presenter.shown.clear();
        EXPECT_EQ(MessageHandler(MessageBase + c.n).ToLong(), -1) << c.n;
        ASSERT_EQ(presenter.shown.size(), 1u);
        EXPECT_EQ(presenter.shown[0].style, StyleCritical);
        EXPECT_EQ(presenter.shown[0].title, c.title) << c.n;
    }
}
