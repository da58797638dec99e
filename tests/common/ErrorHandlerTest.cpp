#include <windows.h>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "basErrorHandler.h"
#include "basStrings.h"

namespace {

const std::wstring CrLf = L"\r\n";

class ErrorHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        vb::SetProjectName(L"CommonTests");
        SetMessageRows(LibraryMessageRow);
        ErrorHandler(ehClearAll);
        vb::Err().Clear();
        baseLevel_ = StackLevel();
    }
    void TearDown() override {
        EXPECT_EQ(StackLevel(), baseLevel_) << "every way out must restore the nesting counter";
        ErrorHandler(ehClearAll);
    }
    short RecordCount() { return static_cast<short>(ErrorHandler(ehCount).ToLong()); }

    FakePresenter boxes;
    short baseLevel_ = 0;
};

// Four procedures deep, the fifth raises and traps.
void NestedRaise(int depth, long number) {
    ProcGuard guard;
    if (depth > 1) return NestedRaise(depth - 1, number);
    try {
        vb::Raise(number);
    } catch (...) {
        TrapError(L"InnerProcedure");
    }
}

TEST_F(ErrorHandlerTest, TrapReportsOneBoxWithTheTraceAndEmptiesTheStack) {
    NestedRaise(5, vb::ErrFileNotFound);

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.beeps, 1);
    EXPECT_EQ(boxes.shown[0].style, StyleCritical);
    EXPECT_EQ(boxes.shown[0].title, L"Error -  53   :   h035");
    std::wstring text = L"Error: File not found" + CrLf + CrLf + L"Stack Level: 1     CD: 5" + CrLf +
                        L"Object: CommonTests" + CrLf + L"Subroutine: InnerProcedure";
    EXPECT_EQ(boxes.shown[0].prompt, StrWrap(text, 50));
    EXPECT_EQ(RecordCount(), 0);
    EXPECT_FALSE(vb::Err().IsCurrent()) << "leaving the trap clears the error";
}

TEST_F(ErrorHandlerTest, ApiFailureTakesTheLastWindowsErrorAndItsText) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    long r = CheckAPIResult(0, L"WrapperProc", 0);
    EXPECT_EQ(r, 0);

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, L"Error -  2   :   h02");
    std::wstring text = L"Error: " + GetSystemErrorText(2) + CrLf + CrLf + L"Stack Level: 1     CD: 0" + CrLf +
                        L"Object: " + CrLf + L"Subroutine: WrapperProc" + CrLf + L"LastDllError: 2";
    EXPECT_EQ(boxes.shown[0].prompt, StrWrap(text, 50));
}

TEST_F(ErrorHandlerTest, ResultCheckedAgainstSuccessValueBecomesTheErrorNumber) {
    SetLastError(0);
    long failures = 0;
    EXPECT_EQ(CheckAPIResult(5, L"RegistryWorker", 0, ehReportAll, 0L, false, &failures), 5);
    EXPECT_EQ(failures, 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, L"Error -  5   :   h05");
    std::wstring text = L"Error: " + GetSystemErrorText(5) + CrLf + CrLf + L"Stack Level: 1     CD: 0" + CrLf +
                        L"Object: " + CrLf + L"Subroutine: RegistryWorker" + CrLf + L"Local Line: 5";
    EXPECT_EQ(boxes.shown[0].prompt, StrWrap(text, 50));

    // Success, and a quiet failure: counted, never shown.
    EXPECT_EQ(CheckAPIResult(0, L"RegistryWorker", 0, ehReportAll, 0L, false, &failures), 0);
    EXPECT_EQ(CheckAPIResult(2, L"RegistryWorker", 0, ehReportAll, 0L, true, &failures), 2);
    EXPECT_EQ(failures, 2);
    EXPECT_EQ(boxes.shown.size(), 1u);
    // Without a success value anything but the failure value passes.
    EXPECT_EQ(CheckAPIResult(7, L"Wrapper", 0), 7);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(ErrorHandlerTest, FailureWithoutAnyErrorCodeShowsNoBox) {
    SetLastError(0);
    CheckAPIResult(0, L"Wrapper", 0);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(boxes.beeps, 0);
    EXPECT_EQ(RecordCount(), 0);
}

TEST_F(ErrorHandlerTest, DispatcherErrorTakesTheSystemTextAndAShortTitle) {
    try {
        ProcGuard guard;
        try {
            vb::Raise(MessageBase + 4001);
        } catch (...) {
            TrapError(L"Registry");
        }
    } catch (...) {
        FAIL();
    }
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, L"Error -  4001   :   h0FA1");
    std::wstring description = GetSystemErrorText(MessageBase + 4001);
    EXPECT_NE(boxes.shown[0].prompt.find(StrWrap(L"Error: " + description, 50).substr(0, 20)), std::wstring::npos);
}

TEST_F(ErrorHandlerTest, PushPopAndCountActions) {
    // Pop and count on an empty stack.
    vb::SetError(vb::ErrSubscript);
    EXPECT_TRUE(ErrorHandler(ehPop).IsEmpty());
    EXPECT_EQ(vb::Err().Number, vb::ErrSubscript) << "popping nothing leaves the current error";
    ErrorHandler(ehDropTop);
    EXPECT_FALSE(vb::Err().IsCurrent()) << "dropping on an empty stack still clears";

    // Hold an error across other work, then get it back with its trace.
    vb::SetError(vb::ErrTypeMismatch, std::wstring(L"Holder"), std::wstring(L"Mismatch"));
    ErrorHandlerArgs args;
    args.ProcedureName = L"Holder";
    ErrorHandler(ehPush, args);
    EXPECT_EQ(RecordCount(), 1);
    vb::Err().Clear();

    vb::Variant popped = ErrorHandler(ehPop);
    ASSERT_TRUE(popped.IsArray());
    const auto& a = popped.AsArray();
    ASSERT_EQ(a.size(), 11u);
    EXPECT_EQ(a[8].ToLong(), vb::ErrTypeMismatch);
    EXPECT_EQ(a[2].ToString(), L"Mismatch");
    EXPECT_EQ(a[10].ToString(), L"Holder");
    EXPECT_TRUE(a[0].IsEmpty() && a[6].IsEmpty() && a[7].IsEmpty());
    EXPECT_EQ(vb::Err().Number, vb::ErrTypeMismatch);
    EXPECT_NE(vb::Err().Source.find(L"Stack Level: 1"), std::wstring::npos);
    EXPECT_NE(vb::Err().Source.find(L"Subroutine: Holder"), std::wstring::npos);
    EXPECT_EQ(RecordCount(), 0);
    EXPECT_TRUE(boxes.shown.empty());
    vb::Err().Clear();
}

TEST_F(ErrorHandlerTest, ErrorArrayRestoresWithOnlyTheLinesItCarries) {
    ErrorArray a;
    a[1] = vb::Variant(int16_t{3});
    a[2] = vb::Variant(L"Something failed");
    a[3] = vb::Variant(L"0");
    a[4] = vb::Variant(L"");
    a[5] = vb::Variant(0L);
    a[8] = vb::Variant(1234L);
    a[9] = vb::Variant(L"Obj");
    ErrZ2ErrOFromArray(a, 2);
    EXPECT_EQ(vb::Err().Number, 1234);
    EXPECT_EQ(vb::Err().Source, CrLf + L"Stack Level: 2     CD: 3" + CrLf + L"Object: Obj");

    // A source that already carries a trace is kept as it is, whatever the letter case.
    a[9] = vb::Variant(L"earlier trace SUBROUTINE: X");
    ErrZ2ErrOFromArray(a, 2);
    EXPECT_EQ(vb::Err().Source, L"earlier trace SUBROUTINE: X");

    // Nothing to restore: nothing happens.
    vb::Err().Clear();
    ErrZ2ErrOFromArray(std::nullopt, 1);
    EXPECT_FALSE(vb::Err().IsCurrent());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ErrorHandlerTest, RecordWithoutLevelOrTraceIsReportedAsDispatcherError) {
    ErrorRecord r;
    r.Number = 5;
    r.Source = L"Obj";
    ErrZ2ErrO(r);
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown[0].title, L"Error -  4001   :   h0FA1");
    EXPECT_NE(boxes.shown[0].prompt.find(L"ErrZ2ErrO"), std::wstring::npos);
    EXPECT_EQ(RecordCount(), 0);
}

TEST_F(ErrorHandlerTest, UnknownActionReportsTheDispatcherErrorTwice) {
    ErrorHandler(99, std::wstring(L"Caller"));
    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const auto& b : boxes.shown) EXPECT_EQ(b.title, L"Error -  4001   :   h0FA1");
    EXPECT_EQ(RecordCount(), 0);
}

TEST_F(ErrorHandlerTest, FailureWhileReportingEndsQuietlyAndKeepsTheRest) {
    vb::SetError(vb::ErrOverflow);
    ErrorHandler(ehPush, std::wstring(L"First"));
    vb::SetError(vb::ErrSubscript);
    boxes.throwOnShow = true;
    ErrorHandler(ehReportAll, std::wstring(L"Second"));
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(RecordCount(), 1) << "the record not yet popped stays";
    vb::Err().Clear();
}

TEST_F(ErrorHandlerTest, SystemErrorTextFallsBackForUnknownNumbers) {
    EXPECT_EQ(GetSystemErrorText(0x0ABCDEF1), L"Error (" + std::to_wstring(0x0ABCDEF1) + L") not defined.");
    EXPECT_NE(GetSystemErrorText(ERROR_ACCESS_DENIED).find(L"ccess"), std::wstring::npos);
    // Outside the wininet range the system table answers.
    EXPECT_FALSE(GetSystemErrorText(12172).empty());
}

TEST_F(ErrorHandlerTest, TrappedHelperAnswersTheFallbackAndCountsItself) {
    short seen = 0;
    int r = Trapped(L"Helper", [&] {
        seen = StackLevel();
        vb::Raise(vb::ErrInvalidCall);
        return 1;
    }, -1);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(seen, baseLevel_ + 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].prompt.find(L"Helper"), std::wstring::npos);

    // A C++ failure is reported as a run-time error too.
    TrappedVoid(L"Helper2", [] { std::vector<int>().at(3); });
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].title, L"Error -  9   :   h09");
}

}  // namespace
