#include <windows.h>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "UiTestForms.h"
#include "basErrorHandler.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "vb/VbScreen.h"
#include "TestSupport.h"

namespace {

const std::wstring Placements = L"Software\\Morva Corporation\\Morva Utility Manager\\1";

// The placements go to the real registry, under a scratch key that stands in for HKLM.
class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        scratch_ = L"Software\\LumoxTests\\Placement" + std::to_wstring(GetCurrentProcessId());
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch_);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, scratch_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &machine_, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_), ERROR_SUCCESS);
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(machine_);
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch_);
        ErrorHandler(ehClearAll);
    }
    std::wstring Saved(const std::wstring& subkey, const wchar_t* value) {
        std::wstring path = scratch_ + L"\\" + Placements + (subkey.empty() ? L"" : L"\\" + subkey);
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return L"<no key>";
        wchar_t data[64] = {};
        DWORD size = sizeof data, type = 0;
        LONG r = RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
        if (r != ERROR_SUCCESS) return L"<none>";
        return type == REG_SZ ? std::wstring(data) : L"<not text>";
    }
    void Put(const std::wstring& subkey, const wchar_t* value, const std::wstring& text) {
        Registry(regSave, L"1", subkey, vb::Variant(value), vb::Variant(text));
    }
    std::wstring scratch_;
    HKEY machine_ = nullptr;
    FakePresenter boxes;
};

TEST_F(PlacementTest, SavesAsTextAndRestores) {
    TestForm form(L"frmPlacement", 300, 200);
    form.SetTag(L"RegistryName:='Lumox Options'");
    form.Move(1500, 1200);
    form.Show();
    const long left = form.Left(), top = form.Top(), width = form.Width(), height = form.Height();
    FormGetSetPosAndSize(plSave, form);
    EXPECT_EQ(Saved(L"Lumox Options", L"Top"), std::to_wstring(top));
    EXPECT_EQ(Saved(L"Lumox Options", L"Left"), std::to_wstring(left));
    EXPECT_EQ(Saved(L"Lumox Options", L"Width"), std::to_wstring(width));
    EXPECT_EQ(Saved(L"Lumox Options", L"Height"), std::to_wstring(height));
    EXPECT_EQ(Saved(L"Lumox Options", L"WindowState"), L"0");

    form.Move(0, 0, width + 1500, height + 1500);
    FormGetSetPosAndSize(plRestore, form);
    EXPECT_EQ(form.Left(), left);
    EXPECT_EQ(form.Top(), top);
    EXPECT_EQ(form.Width(), width);
    EXPECT_EQ(form.Height(), height);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PlacementTest, NormalPlacementIsSavedWhenTheFormDeclaresIt) {
    TestForm form(L"frmNormal", 300, 200);
    form.SetTag(L"RegistryName:='Association Restorer'");
    form.normalTop = 615;
    form.normalWidth = 4500;
    form.Show();
    FormGetSetPosAndSize(plSave, form);
    EXPECT_EQ(Saved(L"Association Restorer", L"Top"), L"615");
    EXPECT_EQ(Saved(L"Association Restorer", L"Width"), L"4500");
    EXPECT_EQ(Saved(L"Association Restorer", L"Left"), std::to_wstring(form.Left())) << "no NormalLeft: Left";
}

TEST_F(PlacementTest, RestoreClampsToTheScreen) {
    const long sw = vb::ScreenWidth(), sh = vb::ScreenHeight();
    TestForm form(L"frmClamp", 200, 100);
    form.SetTag(L"RegistryName:='Clamp'");
    Put(L"Clamp", L"Top", std::to_wstring(sh + 20000));
    Put(L"Clamp", L"Left", std::to_wstring(sw + 1));
    Put(L"Clamp", L"Height", std::to_wstring(sh));
    Put(L"Clamp", L"Width", std::to_wstring(sw * 2));
    FormGetSetPosAndSize(plRestore, form);
    const long tx = vb::TwipsPerPixelX(), ty = vb::TwipsPerPixelY();
    EXPECT_NEAR(form.Top(), sh * 0.05, ty);
    EXPECT_NEAR(form.Left(), sw * 0.05, tx);
    EXPECT_NEAR(form.Height(), sh * 0.9, ty);
    EXPECT_NEAR(form.Width(), sw * 0.9, tx);

    // Missing values keep the window where it is; nothing is shown for them.
    TestForm other(L"frmMissing", 200, 100);
    other.SetTag(L"RegistryName:='Nothing Saved'");
    other.Move(600, 900);
    const long w = other.Width();
    FormGetSetPosAndSize(plRestore, other);
    EXPECT_EQ(other.Left(), 600);
    EXPECT_EQ(other.Top(), 900);
    EXPECT_EQ(other.Width(), w);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PlacementTest, RestoreReadsStoredNumbersAsTheRunTimeConvertsThem) {
    const long tx = vb::TwipsPerPixelX();
    struct Row {
        const wchar_t* stored;
        long left;  // -1: the window stays where it is
    } rows[] = {
        {L"1500", 1500},    {L"1500.4", 1500},  {L" 2999.6 ", 3000}, {L"1200.5", 1200},
        {L"1.5E3", 1500},   {L"-0", 0},         {L"", -1},           {L"far left", -1},
        {L"12e99", -1},
    };
    for (const Row& row : rows) {
        TestForm form(L"frmStored", 200, 100);
        form.SetTag(L"RegistryName:='Stored'");
        form.Move(600, 900);
        const long before = form.Left();
        Put(L"Stored", L"Left", row.stored);
        FormGetSetPosAndSize(plRestore, form);
        EXPECT_NEAR(form.Left(), row.left < 0 ? before : row.left, tx) << row.stored;
        EXPECT_EQ(form.Top(), 900) << row.stored;
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PlacementTest, WithoutRegistryNameValuesLieDirectlyUnderSubkeyOne) {
    TestForm form(L"frmNoName", 200, 100);
    form.Show();
    FormGetSetPosAndSize(plSave, form);
    EXPECT_EQ(Saved(L"", L"Height"), std::to_wstring(form.Height()));
}

TEST_F(PlacementTest, MinimisedHostOrHiddenFormSavesLittle) {
    TestForm host(L"MDIFrm", 600, 400);
    TestForm form(L"frmChild", 200, 100);
    form.SetTag(L"RegistryName:='Child'");
    auto extender = std::make_unique<FakeExtender>(form, &host, 1);
    FakeExtender& ext = *extender;
    form.PutControl(std::move(extender));
    form.Show();
    FormGetSetPosAndSize(plSave, form);
    EXPECT_EQ(Saved(L"Child", L"WindowState"), L"1");
    EXPECT_EQ(Saved(L"Child", L"Top"), L"<none>") << "only the state while the host is minimised";

    ext.SetState(0);
    form.Hide();
    FormGetSetPosAndSize(plSave, form);
    EXPECT_EQ(Saved(L"Child", L"WindowState"), L"1") << "nothing saved while hidden";
    EXPECT_EQ(Saved(L"Child", L"Top"), L"<none>");
    FormGetSetPosAndSize(7, form);  // any other action does nothing
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
