// The host's own builds of shared procedures and its message rows.
#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "HostMessages.h"
#include "HostTestSupport.h"
#include "TestSupport.h"
#include "ProductSuite.h"
#include "UiTestForms.h"
#include "basErrorHandler.h"
#include "basHostShared.h"
#include "basUserInterface.h"
#include "basWinAPI_Email.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

using namespace hosttest;

TEST(ValidateNumericText, FirstNumberOfAText) {
    struct Case {
        const wchar_t* text;
        const wchar_t* number;
    };
    const Case cases[] = {
        {L"Tmp7", L"7"},   {L"Tmp10", L"10"},    {L"abc", L"0"},      {L"", L"0"},
        {L"1,234.5", L"1234.5"}, {L"12.3.4", L"12.3"}, {L"x .5 y", L".5"}, {L"1 000", L"1000"},
        {L"50% off", L"50%"}, {L"1.5,3", L"1.5"},  {L"2e5", L"2E5"},    {L"-5", L"-"},
        {L"Tmp3a4", L"3"},
    };
    for (const Case& c : cases) EXPECT_EQ(ValidateNumericText(c.text), c.number) << vb::ToAnsi(c.text);
}

TEST(HostGetLoadedForm, SeesHostWindowsAndTheFramesChildren) {
    ComApartment apartment;
    FakeProducts::RegisterOnce();
    FakeProducts::Reset();
    ProductSuite suite;
    suite.Products.resize(1);
    suite.Products[0].ProgIdPrefix = L"MorvaFakeA";
    ASSERT_TRUE(suite.OpenProduct(0, L"test"));
    FakeProducts::Set(L"MorvaFakeA.Window", L"Name", L"frmTesselOptions");

    FakeFrame frame;
    EXPECT_FALSE(HostGetLoadedForm(L"frmtesseloptions", &frame));
    frame.children = {suite.Products[0].ShownForm.Get()};
    EXPECT_TRUE(HostGetLoadedForm(L"frmtesseloptions", &frame));
    EXPECT_FALSE(HostGetLoadedForm(L"frmSplash", &frame));
    EXPECT_FALSE(HostGetLoadedForm(L"frmTesselOptions", nullptr));

    TestForm form(L"frmQuit");
    EXPECT_TRUE(HostGetLoadedForm(L"FRMQUIT", nullptr));
    form.Unload();
    EXPECT_FALSE(HostGetLoadedForm(L"frmQuit", nullptr));

    // A child without a name is passed over.
    FakeProducts::Remove(L"MorvaFakeA.Window", L"Name");
    EXPECT_FALSE(HostGetLoadedForm(L"frmTesselOptions", &frame));
    suite.ReleaseAll();
}

TEST(HostPlacement, RestoringReadsTheWindowStateBack) {
    RegistryRedirect redirect;
    FakePresenter presenter;
    TestForm form(L"MDIFrm");
    form.SetTag(L"RegistryName:='Wayhold Utility Manager'");
    struct Case {
        std::optional<std::wstring> stored;
        short state;
    };
    const Case cases[] = {{L"2", 2}, {L"1", 1}, {std::nullopt, 0}, {L"big", 0}};
    for (const Case& c : cases) {
        testsupport::DeleteRegistryTree(HKEY_LOCAL_MACHINE, HostSubkey(L"1"));
        if (c.stored) WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"1\\Wayhold Utility Manager"), L"WindowState", *c.stored);
        short state = 7;
        HostFormGetSetPosAndSize(plRestore, form, state);
        EXPECT_EQ(state, c.state) << vb::ToAnsi(c.stored.value_or(L"(none)"));
    }
    short untouched = 7;
    HostFormGetSetPosAndSize(plSave, form, untouched);
    EXPECT_EQ(untouched, 7);
    form.Unload();
}

TEST(HostMessages, RowsAndRanges) {
    InstallHostMessages();
    FakePresenter presenter;
    std::wstring text;
    MessageHandler(MessageBase + msgNoMailProgram, std::nullopt, &text, true);
    EXPECT_EQ(text, L"Sorry, it apprears that you do not have a default email program set on your computer.");
    text.clear();
    MessageHandler(MessageBase + msgSuggestionTerms, std::nullopt, &text, true);
    EXPECT_EQ(text.rfind(L"Sorry people, our lawyers tell us", 0), 0u);
    EXPECT_NE(text.find(L"\r\n\r\nIf you don't mind the legal stuff just press Yes"), std::wstring::npos);

    presenter.answers = {AnswerNo};
    EXPECT_EQ(MessageHandler(MessageBase + msgSuggestionTerms).ToLong(), AnswerNo);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].style, StyleQuestion);

    // The mail routine names the host's own row when no mail program is set up.
    SetShellOpenFunction([](HWND, const std::wstring&) { return reinterpret_cast<HINSTANCE>(2); });
    EXPECT_FALSE(SendMail(L"someone@example.com", L"Hi", L""));
    SetShellOpenFunction(nullptr);
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[1].title, L"Information 4515");
    EXPECT_EQ(presenter.shown[1].style, StyleInformation);
    ErrorHandler(ehClearAll);
}
