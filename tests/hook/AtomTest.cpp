// The global and local atoms, and the suite's switch built on them.
#include <gtest/gtest.h>

#include "basErrorHandler.h"
#include "basHookNames.h"
#include "basHookSwitch.h"
#include "basWinAPI_Atom.h"
#include "HookTestSupport.h"

namespace {

const long kTestId = 12;

class GlobalAtoms : public ::testing::Test {
protected:
    void SetUp() override { Atom(atomGlobalDelete, kTestId); }
    void TearDown() override { Atom(atomGlobalDelete, kTestId); }
};

}  // namespace

TEST(AtomNames, GlobalNameIsIdAndGuid) {
    EXPECT_EQ(AtomGlobalName(0).ToString(), L"0{C77744F3-A6F8-4997-AFDB-4B0ACB5B6006}");
    EXPECT_EQ(AtomGlobalName(-3).ToString(), L"-3{C77744F3-A6F8-4997-AFDB-4B0ACB5B6006}");
}

TEST_F(GlobalAtoms, AddFindNameDelete) {
    vb::Variant added = Atom(atomGlobalAdd, kTestId);
    ASSERT_TRUE(added.IsInteger());
    ASSERT_NE(added.ToLong(), 0);
    EXPECT_EQ(Atom(atomGlobalFind, kTestId), added);
    EXPECT_EQ(GlobalFindAtomW(L"12{C77744F3-A6F8-4997-AFDB-4B0ACB5B6006}"), static_cast<ATOM>(added.ToLong()));
    // String atoms lie above 0xC000, so they travel as negative 16-bit numbers.
    EXPECT_LT(added.ToLong(), 0);
    EXPECT_EQ(Atom(atomGlobalName, added.ToLong()).ToString(), L"12");
    EXPECT_EQ(Atom(atomGlobalDelete, kTestId).ToLong(), 0);
    EXPECT_EQ(Atom(atomGlobalFind, kTestId).ToLong(), 0);
}

TEST_F(GlobalAtoms, AddingTwiceNeedsOneDelete) {
    Atom(atomGlobalAdd, kTestId);
    EXPECT_TRUE(Atom(atomGlobalAdd, kTestId).IsEmpty());
    Atom(atomGlobalDelete, kTestId);
    EXPECT_EQ(Atom(atomGlobalFind, kTestId).ToLong(), 0);
}

TEST(AtomOps, NamesOfUnknownAtomsAndOtherOps) {
    EXPECT_EQ(Atom(atomGlobalName, 0).ToString(), L"");
    EXPECT_THROW(Atom(atomGlobalName, 70000), vb::Error);
    vb::Err().Clear();
    for (long op : {0L, 10L, 11L, -1L, 100L}) EXPECT_TRUE(Atom(op, kTestId).IsEmpty()) << op;
}

TEST(AtomOps, GlobalNameShorterThanTheGuidIsAnError) {
    ATOM plain = GlobalAddAtomW(L"LumoxShortName");
    EXPECT_THROW(Atom(atomGlobalName, static_cast<int16_t>(plain)), vb::Error);
    vb::Err().Clear();
    GlobalDeleteAtom(plain);
}

// Local atoms: op 5 works only until the first local atom is added (process-wide), so one
// test covers the whole order.
TEST(LocalAtoms, SizingThenAddFindNameDelete) {
    EXPECT_NE(Atom(atomInitTable, 0, vb::Variant(37)).ToLong(), 0);
    vb::Variant added = Atom(atomLocalAdd, 7);
    ASSERT_NE(added.ToLong(), 0);
    EXPECT_TRUE(Atom(atomLocalAdd, 7).IsEmpty());
    EXPECT_EQ(Atom(atomLocalFind, 7), added);
    EXPECT_EQ(Atom(atomLocalName, added.ToLong()).ToString(), L"7");
    EXPECT_EQ(Atom(atomLocalDelete, 7).ToLong(), 0);
    EXPECT_EQ(Atom(atomLocalFind, 7).ToLong(), 0);
    try {
        Atom(atomInitTable, 0, vb::Variant(37));
        ADD_FAILURE() << "sizing after a local add must be refused";
    } catch (const vb::Error& e) {
        EXPECT_EQ(e.Number(), MessageBase + 4002);
    }
    vb::Err().Clear();
}

TEST(HookSwitch, OnAndOffSetAtomRegistrationAndFlag) {
    HookSwitchedOn() = false;
    TurnHookOn();
    EXPECT_NE(Atom(atomGlobalFind, HookOnAtom).ToLong(), 0);
    EXPECT_EQ(hooktest::ReadString(HKEY_LOCAL_MACHINE, ShellExecuteHooksKey, HookClsidText), L"Morva Zintra");
    EXPECT_TRUE(HookSwitchedOn());
    TurnHookOn();  // twice is once: one switch-off clears it
    TurnHookOff();
    EXPECT_EQ(Atom(atomGlobalFind, HookOnAtom).ToLong(), 0);
    EXPECT_FALSE(hooktest::ReadString(HKEY_LOCAL_MACHINE, ShellExecuteHooksKey, HookClsidText).has_value());
    EXPECT_TRUE(HookSwitchedOn()) << "the flag tells that the hook went on in this run; off leaves it";
    TurnHookOff();  // already off: nothing reported, nothing thrown
    EXPECT_FALSE(vb::Err().IsCurrent());
}
