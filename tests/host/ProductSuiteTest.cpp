// The suite build-up against products of the tests' own, created by ProgID through COM and
// called by name: order, members called, menus, failures, clicks and the products' lifetime.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakePresenter.h"
#include "HostMessages.h"
#include "HostTestSupport.h"
#include "ProductSuite.h"
#include "TestSupport.h"
#include "basErrorHandler.h"
#include "basWinAPI_Email.h"
#include "basWinAPI_Help.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

using namespace hosttest;

namespace {

const std::wstring A = L"MorvaFakeA", B = L"MorvaFakeB", C = L"MorvaFakeC", D = L"MorvaFakeD";

std::vector<std::wstring> g_mails;
HINSTANCE RecordMail(HWND, const std::wstring& address) {
    g_mails.push_back(address);
    return reinterpret_cast<HINSTANCE>(42);
}

class RecordingHelp : public HelpEngines {
public:
    BOOL OpenWinHelp(HWND, const std::wstring& path, UINT, ULONG_PTR data) override {
        calls.push_back(path + L"#" + std::to_wstring(data));
        return TRUE;
    }
    HWND OpenHtmlHelp(HWND, const std::wstring& path, UINT, DWORD_PTR data) override {
        calls.push_back(path + L"#" + std::to_wstring(data));
        return GetDesktopWindow();  // stands for the help window that opened
    }
    std::vector<std::wstring> calls;
};

class ProductSuiteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { FakeProducts::RegisterOnce(); }
    void SetUp() override {
        vb::SetProjectName(L"HostTests");
        InstallHostMessages();
        ErrorHandler(ehClearAll);
        FakeProducts::Reset();
        SuiteProductName().clear();
        SuiteProductVersion().clear();
        g_mails.clear();
        previousOpen_ = SetShellOpenFunction(RecordMail);
        previousHelp_ = SetHelpEngines(&help_);
    }
    void TearDown() override {
        suite_.ReleaseAll();
        SetShellOpenFunction(previousOpen_);
        SetHelpEngines(previousHelp_);
        ErrorHandler(ehClearAll);
    }

    // Subkey 0's values, in this order: (value name, data).
    void Store(const std::vector<std::pair<std::wstring, std::wstring>>& values) {
        for (const auto& [name, data] : values) WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"0"), name.c_str(), data);
    }
    // A product shown in the frame with the ordinal given; more members named by extra.
    void Product(const std::wstring& owner, double ordinal, const std::wstring& extra = L"") {
        FakeProducts::Set(owner, L"Properties", L"Properties\rUtilitySuiteOrdinal" + extra);
        FakeProducts::Set(owner, L"UtilitySuiteOrdinal", ordinal);
    }
    std::vector<std::wstring> CallsOf(const std::wstring& owner) const {
        std::vector<std::wstring> mine;
        for (const std::wstring& call : FakeProducts::Calls())
            if (call.compare(0, owner.size() + 1, owner + L"|") == 0) mine.push_back(call.substr(owner.size() + 1));
        return mine;
    }
    void Build() {
        suite_.GetDLLArributes(toolbar_);
        suite_.GetStandardToolbarButtons(toolbar_);
    }

    ComApartment apartment_;
    RegistryRedirect redirect_;
    FakePresenter presenter_;
    RecordingHelp help_;
    FakeToolbar toolbar_;
    ProductSuite suite_;
    ShellOpenFunction previousOpen_ = nullptr;
    HelpEngines* previousHelp_ = nullptr;
};

}  // namespace

TEST_F(ProductSuiteTest, NoProductsStillGetTheHostButtons) {
    Build();
    EXPECT_TRUE(suite_.Products.empty());
    ASSERT_EQ(toolbar_.ButtonCount(), 5);
    EXPECT_EQ(toolbar_.At(1).key, L"Help");
    EXPECT_EQ(toolbar_.At(2).key, L"Adjustable");
    EXPECT_EQ(toolbar_.At(2).style, 0);
    EXPECT_EQ(toolbar_.At(3).imageKeys, L"SuggestUp,SuggestDown,SuggestUpOver");
    EXPECT_EQ(toolbar_.At(3).toolTip,
              L"Type in a brief message of\r\nwhat you would like in our\r\nproducts or suggest a new\r\nproduct!");
    EXPECT_EQ(toolbar_.At(4).imageKeys, L"ReferUp,ReferDown,ReferUpOver");
    EXPECT_EQ(toolbar_.At(4).toolTip, L"Refer this product to a friend");
    EXPECT_EQ(toolbar_.At(5).imageKeys, L"HelpUp,HelpDown,HelpUpOver");
    EXPECT_EQ(toolbar_.At(5).toolTip, L"Help");
    EXPECT_EQ(toolbar_.refreshed, 1);
    for (size_t i = 1; i <= 7; ++i) EXPECT_FALSE(suite_.Menus.Main[i].Visible);
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(ProductSuiteTest, OrdinalsAreComparedAsText) {
    Store({{L"FakeA.dll1.0.0.0", A}, {L"FakeB.dll1.0.0.0", B}});
    Product(A, 20);
    Product(B, 100);
    Build();
    ASSERT_EQ(suite_.Products.size(), 2u);
    EXPECT_EQ(suite_.Products[0].ProgIdPrefix, B);
    EXPECT_EQ(suite_.Products[0].Ordinal, 100.0f);
    EXPECT_EQ(suite_.Products[1].ProgIdPrefix, A);
    EXPECT_EQ(toolbar_.ButtonCount(), 1 + 2 + 4);
    // Built, then released: nothing is kept open until the user opens a product.
    EXPECT_FALSE(suite_.Products[0].Product);
    EXPECT_EQ(FakeProducts::Live(A), 0);
    EXPECT_EQ(FakeProducts::Live(B), 0);
}

TEST_F(ProductSuiteTest, OnlyMembersThatPropertiesNamesAreCalled) {
    Store({{L"FakeC.dll1.0.0.0", C}, {L"Blank.dll1.0.0.0", L"   "}, {L"FakeD.dll1.0.0.0", D}});
    // C names a few members but has no ordinal: initialised, never shown.
    FakeProducts::Set(C, L"Properties", L"GeneralInitialization\rProductName\rProperties");
    for (const wchar_t* member : {L"Version", L"MdiMenu", L"UtilitySuiteOrdinal", L"ToolbarButtonToolTip"})
        FakeProducts::Set(C, member, L"not to be read");
    FakeProducts::Set(C, L"ProductName", L"Lumox C");
    // D is shown but names nothing beyond its ordinal.
    Product(D, 5);
    FakeProducts::Set(D, L"MdiMenu", L"Never");
    FakeProducts::Set(D, L"ToolbarButtonUp", L"<picture>");
    Build();

    EXPECT_EQ(CallsOf(C), (std::vector<std::wstring>{L"Properties", L"GeneralInitialization", L"ProductName"}));
    EXPECT_EQ(CallsOf(D), (std::vector<std::wstring>{L"Properties", L"UtilitySuiteOrdinal", L"Properties",
                                                     L"UtilitySuiteOrdinal"}));
    ASSERT_EQ(suite_.Products.size(), 1u);
    EXPECT_EQ(suite_.Products[0].ProgIdPrefix, D);
    EXPECT_FALSE(toolbar_.At(2).pictures);
    EXPECT_FALSE(suite_.Menus.Main[1].Visible);
    EXPECT_EQ(SuiteProductName(), L"Lumox C");
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(ProductSuiteTest, MenuStringsFillThePlaceholders) {
    Store({{L"FakeA.dll1.0.0.0", A}, {L"FakeB.dll1.0.0.0", B}});
    Product(A, 1,
            L"\rMdiMenu\rSysTrayMenu\rHelpMenu\rAboutMenu\rToolbarButtonUp\rToolbarButtonDown\rToolbarButtonUpOver"
            L"\rToolbarButtonToolTip");
    FakeProducts::Set(A, L"MdiMenu", L"Lumox Expert\rOptions;Dummy Tag Text1\rDisable;Dummy Tag Text2");
    FakeProducts::Set(A, L"SysTrayMenu", L"Open Lumox;Tray Tag");
    FakeProducts::Set(A, L"HelpMenu", L"Lumox Help;Help Tag");
    FakeProducts::Set(A, L"AboutMenu", L"About Lumox");
    for (const wchar_t* picture : {L"ToolbarButtonUp", L"ToolbarButtonDown", L"ToolbarButtonUpOver"})
        FakeProducts::Set(A, picture, L"<picture>");
    FakeProducts::Set(A, L"ToolbarButtonToolTip", L"Lumox Expert");
    Product(B, 2, L"\rMdiMenu\rHelpMenu");
    FakeProducts::Set(B, L"MdiMenu", L"Second");
    FakeProducts::Set(B, L"HelpMenu", L"Second Help");
    Build();
    ASSERT_EQ(suite_.Products.size(), 2u);
    EXPECT_TRUE(presenter_.shown.empty());

    const SuiteMenus& m = suite_.Menus;
    EXPECT_EQ(m.Main[1].Caption, L"Lumox Expert");
    EXPECT_TRUE(m.Main[1].Visible);
    EXPECT_EQ(m.Sub[1][0].Caption, L"Options");
    EXPECT_EQ(m.Sub[1][0].Tag, L"Dummy Tag Text1");
    EXPECT_EQ(m.Sub[1][1].Caption, L"Disable");
    EXPECT_TRUE(m.Sub[1][1].Visible);
    EXPECT_FALSE(m.Sub[1][2].Visible);
    EXPECT_EQ(m.Main[2].Caption, L"Second");
    EXPECT_TRUE(m.Main[2].Visible);
    EXPECT_EQ(m.Main[3].Caption, L"Tmp3");

    EXPECT_EQ(m.SysTray[0].Caption, L"Open Lumox");
    EXPECT_EQ(m.SysTray[0].Tag, L"Tray Tag");
    EXPECT_TRUE(m.SysTray[0].Enabled);
    EXPECT_FALSE(m.SysTray[0].Visible);  // filled, but the tray menu keeps it hidden
    EXPECT_EQ(m.Help[1].Caption, L"Lumox Help");
    EXPECT_EQ(m.Help[1].Tag, L"Help Tag");
    EXPECT_TRUE(m.Help[1].Visible);
    EXPECT_EQ(m.Help[2].Caption, L"Second Help");
    EXPECT_EQ(m.About[1].Caption, L"About Lumox");
    EXPECT_TRUE(m.About[1].Visible);

    EXPECT_TRUE(toolbar_.At(2).pictures);
    EXPECT_EQ(toolbar_.At(2).toolTip, L"Lumox Expert");
    EXPECT_FALSE(toolbar_.At(3).pictures);
    const auto calls = CallsOf(A);
    EXPECT_NE(std::find(calls.begin(), calls.end(), L"HelpMenu@1033"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), L"AboutMenu@1033"), calls.end());
}

TEST_F(ProductSuiteTest, ProductNameAndVersionComeFromTheLastInValueOrder) {
    Store({{L"FakeA.dll1.0.0.0", A}, {L"FakeB.dll1.0.0.0", B}, {L"FakeC.dll1.0.0.0", C}});
    Product(A, 3, L"\rProductName\rVersion");
    FakeProducts::Set(A, L"ProductName", L"First");
    FakeProducts::Set(A, L"Version", L"1.0");
    FakeProducts::Set(B, L"Properties", L"ProductName\rVersion");  // not shown
    FakeProducts::Set(B, L"ProductName", L"Second");
    FakeProducts::Set(B, L"Version", L"2.0");
    FakeProducts::Set(C, L"Properties", L"Properties");
    FakeProducts::Set(C, L"ProductName", L"Unnamed");
    Build();
    EXPECT_EQ(SuiteProductName(), L"Second");
    EXPECT_EQ(SuiteProductVersion(), L"2.0");
    EXPECT_EQ(suite_.Products.size(), 1u);
}

TEST_F(ProductSuiteTest, AFailureMidBuildStopsTheLaterProducts) {
    Store({{L"FakeA.dll1.0.0.0", A}, {L"FakeB.dll1.0.0.0", B}, {L"FakeC.dll1.0.0.0", C}});
    Product(A, 1, L"\rMdiMenu");
    FakeProducts::Set(A, L"MdiMenu", L"Alpha");
    Product(B, 2, L"\rMdiMenu");
    FakeProducts::Fail(B, L"MdiMenu");
    Product(C, 3, L"\rMdiMenu");
    FakeProducts::Set(C, L"MdiMenu", L"Gamma");
    Build();

    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_EQ(presenter_.shown[0].style, StyleCritical);
    EXPECT_NE(presenter_.shown[0].prompt.find(L"GetDLLArributes"), std::wstring::npos);
    // A and B have their buttons; C was initialised but got nothing.
    ASSERT_EQ(suite_.Products.size(), 2u);
    EXPECT_EQ(suite_.Products[1].ProgIdPrefix, B);
    EXPECT_EQ(CallsOf(C), (std::vector<std::wstring>{L"Properties", L"UtilitySuiteOrdinal"}));
    EXPECT_EQ(suite_.Menus.Main[1].Caption, L"Alpha");
    EXPECT_EQ(suite_.Menus.Main[2].Caption, L"Tmp2");
    // The host's buttons still follow the products' buttons.
    EXPECT_EQ(toolbar_.ButtonCount(), 1 + 2 + 4);
    EXPECT_EQ(ToolbarTargetOf(3, toolbar_.ButtonCount(), suite_.Products.size()).ProductIndex, 1);
}

TEST_F(ProductSuiteTest, RunningOutOfHelpEntriesIsReported) {
    Store({{L"FakeA.dll1.0.0.0", A}});
    Product(A, 1, L"\rHelpMenu");
    FakeProducts::Set(A, L"HelpMenu", L"One more");
    for (size_t i = 0; i < suite_.Menus.Help.size(); ++i) suite_.Menus.Help[i].Visible = true;
    suite_.GetDLLArributes(toolbar_);
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_NE(presenter_.shown[0].prompt.find(L"GetDLLArributes"), std::wstring::npos);
}

TEST(ToolbarMapping, EachButtonDoesItsOwnJob) {
    // Button 1 from the start, two products, the spacer and the three host buttons.
    struct Case {
        int button;
        ToolbarAction action;
        long product;
    };
    const Case cases[] = {
        {0, ToolbarAction::None, -1},       {1, ToolbarAction::HelpContents, -1},
        {2, ToolbarAction::OpenProduct, 0}, {3, ToolbarAction::OpenProduct, 1},
        {4, ToolbarAction::None, -1},       {5, ToolbarAction::Suggestion, -1},
        {6, ToolbarAction::Referral, -1},   {7, ToolbarAction::Help, -1},
        {8, ToolbarAction::None, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        ToolbarTarget t = ToolbarTargetOf(c.button, 7, 2);
        EXPECT_EQ(t.Action, c.action);
        EXPECT_EQ(t.ProductIndex, c.product);
    }
    // No products: the spacer is button 2 and opens nothing.
    EXPECT_EQ(ToolbarTargetOf(2, 5, 0).Action, ToolbarAction::None);
}

TEST_F(ProductSuiteTest, ToolbarButtonClickHandlerOpensProductsOnceAndRunsTheHostButtons) {
    testsupport::WinHelpFilesBeside helpFiles{L"Lumox.hlp", L"Morva Utility Manager.hlp"};
    Store({{L"FakeA.dll1.0.0.0", A}, {L"FakeB.dll1.0.0.0", B}});
    Product(A, 1);
    Product(B, 2);
    Build();
    ASSERT_EQ(toolbar_.ButtonCount(), 7);

    suite_.ToolbarButtonClick(2, toolbar_, nullptr);
    suite_.ToolbarButtonClick(2, toolbar_, nullptr);
    EXPECT_TRUE(suite_.Products[0].Product);
    EXPECT_TRUE(suite_.Products[0].ShownForm);
    EXPECT_FALSE(suite_.Products[1].Product);
    const auto calls = CallsOf(A);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"ShowForm"), 1);
    EXPECT_EQ(FakeProducts::Live(A + L".Window"), 1);

    suite_.ToolbarButtonClick(4, toolbar_, nullptr);  // the spacer
    EXPECT_TRUE(g_mails.empty());
    EXPECT_TRUE(help_.calls.empty());
    suite_.ToolbarButtonClick(1, toolbar_, nullptr);
    ASSERT_EQ(help_.calls.size(), 1u);
    EXPECT_TRUE(vb::EndsWith(help_.calls[0], L"#0")) << vb::ToAnsi(help_.calls[0]);  // the contents
    help_.calls.clear();

    presenter_.answers = {AnswerNo};
    suite_.ToolbarButtonClick(5, toolbar_, nullptr);
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_EQ(presenter_.shown[0].style, StyleQuestion);
    EXPECT_EQ(presenter_.shown[0].title, L"Question 5001");
    EXPECT_TRUE(g_mails.empty());

    presenter_.answers = {AnswerYes};
    suite_.ToolbarButtonClick(5, toolbar_, nullptr);
    ASSERT_EQ(g_mails.size(), 1u);
    EXPECT_EQ(g_mails[0],
              L"mailto:suggestions@morva-corporation.example?Subject=Something I would like to see you develop"
              L"&Body=To the Morva Development Team,%0D%0A%0D%0AI would like a product that: %0D%0A%0D%0A%0D%0A"
              L"%0D%0ABest Regards!");

    suite_.ToolbarButtonClick(6, toolbar_, nullptr);
    ASSERT_EQ(g_mails.size(), 2u);
    EXPECT_EQ(g_mails[1].rfind(L"mailto:your.friend@example.com?Subject=A new product for you to look at."
                               L"&Body=Hi ,%0D%0A%0D%0AYour message....%0D%0A%0D%0A",
                               0),
              0u);
    EXPECT_NE(g_mails[1].find(L"Let me know what you think !%0D%0A%0D%0A%0D%0A"), std::wstring::npos);

    suite_.ToolbarButtonClick(7, toolbar_, nullptr);
    ASSERT_EQ(help_.calls.size(), 1u);
    EXPECT_TRUE(vb::EndsWith(help_.calls[0], L"#400")) << vb::ToAnsi(help_.calls[0]);  // the help index
    EXPECT_EQ(presenter_.shown.size(), 2u);
}

TEST_F(ProductSuiteTest, ToolbarButtonClickHandlerLeavesAProductThatCannotOpenUnopened) {
    Store({{L"FakeA.dll1.0.0.0", A}, {L"FakeB.dll1.0.0.0", B}});
    Product(A, 1);
    Product(B, 2);
    Build();
    FakeProducts::Fail(A, L"ShowForm");
    suite_.ToolbarButtonClick(2, toolbar_, nullptr);
    EXPECT_FALSE(suite_.Products[0].Product);
    EXPECT_EQ(FakeProducts::Live(A), 0);
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_NE(presenter_.shown[0].prompt.find(L"asxToolbar1_ButtonClick"), std::wstring::npos);

    suite_.Products[1].ProgIdPrefix = L"MorvaNoSuchProduct";
    suite_.ToolbarButtonClick(3, toolbar_, nullptr);
    EXPECT_FALSE(suite_.Products[1].Product);
    EXPECT_EQ(presenter_.shown.size(), 2u);
}

TEST_F(ProductSuiteTest, IdleProductsAreReleasedOnlyWhenHiddenAndInterruptible) {
    struct Case {
        bool visible;
        bool interruptible;
        bool released;
    };
    const Case cases[] = {{false, true, true}, {false, false, false}, {true, true, false}, {true, false, false}};
    Store({{L"FakeA.dll1.0.0.0", A}});
    Product(A, 1);
    Build();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "visible " << c.visible << " interruptible " << c.interruptible);
        suite_.ReleaseAll();
        ASSERT_TRUE(suite_.OpenProduct(0, L"test"));
        FakeProducts::Set(A + L".Window", L"Visible", c.visible);
        FakeProducts::Set(A + L".Window", L"Interruptible", c.interruptible);
        EXPECT_EQ(suite_.AnyOpenProductBusy(), !c.interruptible);
        suite_.ReleaseIdleProducts();
        EXPECT_EQ(!suite_.Products[0].Product, c.released);
        EXPECT_EQ(!suite_.Products[0].ShownForm, c.released);
        EXPECT_EQ(FakeProducts::Live(A + L".Window"), c.released ? 0 : 1);
    }
    // A released product opens afresh.
    suite_.ReleaseAll();
    EXPECT_TRUE(suite_.OpenProduct(0, L"test"));
    EXPECT_FALSE(suite_.OpenProduct(0, L"test"));
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(ProductSuiteTest, PlaceholderSubMenusByNumber) {
    EXPECT_EQ(suite_.GetMenuItem(L"Tmp3", 0), &suite_.Menus.Sub[3][0]);
    EXPECT_EQ(suite_.GetMenuItem(L"Tmp7", 9), &suite_.Menus.Sub[7][9]);
    EXPECT_EQ(suite_.GetMenuItem(L"Tmp8", 0), nullptr);
    EXPECT_EQ(suite_.GetMenuItem(L"Help", 0), nullptr);
}
