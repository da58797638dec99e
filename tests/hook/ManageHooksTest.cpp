// Slot patching of a function table, and the hook class keeping its slot patched while any
// of its objects lives.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "FakePresenter.h"
#include "HookTestSupport.h"
#include "ShellExecHook.h"
#include "basErrorHandler.h"
#include "basHook.h"
#include "basHookNames.h"
#include "basManageHooks.h"
#include "basWinAPI_Atom.h"
#include "basWinAPI_Registry.h"

namespace {

void Slot1() {}
void Slot2() {}
void Slot3() {}
void Slot4() {}
void Replacement() {}
void Stranger() {}

uintptr_t Address(void (*f)()) { return reinterpret_cast<uintptr_t>(f); }

// An object whose first pointer is a function table of our own.
class FakeObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        table[0] = Address(Slot1);
        table[1] = Address(Slot2);
        table[2] = Address(Slot3);
        table[3] = Address(Slot4);
        object = table;
    }
    void TearDown() override { VTableEntryMgr(vtForget, &object, 4); }
    void* Com() { return &object; }

    uintptr_t table[4];
    uintptr_t* object;
    FakePresenter presenter;
};

uintptr_t ExecuteSlot(IShellExecuteHookA* hook) { return (*reinterpret_cast<uintptr_t**>(hook))[3]; }

uintptr_t HookedExecuteAddress() { return reinterpret_cast<uintptr_t>(&HookedExecute); }

IShellExecuteHookA* NewHook() {
    IShellExecuteHookA* hook = nullptr;
    EXPECT_EQ(zintra::CreateShellExecHook(IID_IShellExecuteHookA, reinterpret_cast<void**>(&hook)), S_OK);
    return hook;
}

// Execute through the table, switched off: HookedExecute answers 1 and sets 33, the class's
// own body leaves hInstApp alone.
bool AnswersThroughHookedExecute(IShellExecuteHookA* hook) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.lpFile = "x.txt";
    HRESULT hr = hook->Execute(&info);
    return hr == S_FALSE && reinterpret_cast<INT_PTR>(info.hInstApp) == 33;
}

}  // namespace

TEST(SlotKey, UpperHexWithoutLeadingZeros) {
    EXPECT_EQ(GetSlotKey(reinterpret_cast<void*>(0x1A2B3C40), 4), L"1A2B3C40:4");
    EXPECT_EQ(GetSlotKey(reinterpret_cast<void*>(0xF0), 10), L"F0:A");
    Z_vTableEntrySwap entry;
    entry.lpCOM = 0xABC;
    entry.iEntry = 16;
    EXPECT_EQ(GetEntrySwapKey(entry), L"ABC:10");
}

TEST_F(FakeObjectTest, FillReadsTheLiveTable) {
    Z_vTableEntrySwap entry;
    FillVTableEntry(entry, Com(), 4);
    EXPECT_EQ(entry.lpVTable, reinterpret_cast<uintptr_t>(table));
    EXPECT_EQ(entry.lpEntry, reinterpret_cast<uintptr_t>(&table[3]));
    EXPECT_EQ(entry.lpOldFunc, Address(Slot4));
}

TEST_F(FakeObjectTest, PatchThenUnpatch) {
    const size_t before = PatchTableCount();
    EXPECT_EQ(VTableEntryMgr(vtIsPatched, Com(), 4), 0);
    EXPECT_EQ(static_cast<uintptr_t>(VTableEntryMgr(vtPatch, Com(), 4, reinterpret_cast<void*>(&Replacement))),
              Address(Slot4));
    EXPECT_EQ(table[3], Address(Replacement));
    EXPECT_EQ(table[2], Address(Slot3));
    EXPECT_EQ(VTableEntryMgr(vtIsPatched, Com(), 4), -1);
    EXPECT_EQ(PatchTableCount(), before + 1);

    // Already patched: nothing written, nothing recorded.
    EXPECT_EQ(VTableEntryMgr(vtPatch, Com(), 4, reinterpret_cast<void*>(&Stranger)), 0);
    EXPECT_EQ(table[3], Address(Replacement));
    EXPECT_EQ(PatchTableCount(), before + 1);

    EXPECT_NE(VTableEntryMgr(vtUnpatch, Com(), 4), 0);
    EXPECT_EQ(table[3], Address(Slot4));
    EXPECT_EQ(PatchTableCount(), before);
    EXPECT_EQ(VTableEntryMgr(vtUnpatch, Com(), 4), 0);
    EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(FakeObjectTest, UnpatchLeavesASlotSomeoneElseChanged) {
    VTableEntryMgr(vtPatch, Com(), 4, reinterpret_cast<void*>(&Replacement));
    table[3] = Address(Stranger);
    EXPECT_EQ(VTableEntryMgr(vtIsPatched, Com(), 4), 0);
    const size_t count = PatchTableCount();
    EXPECT_EQ(VTableEntryMgr(vtUnpatch, Com(), 4), 0);
    EXPECT_EQ(table[3], Address(Stranger));
    EXPECT_EQ(PatchTableCount(), count);

    // Patch all again writes the recorded pointer back.
    EXPECT_EQ(VTableEntryMgr(vtPatchAll, nullptr, 0), -1);
    EXPECT_EQ(table[3], Address(Replacement));

    EXPECT_EQ(VTableEntryMgr(vtForget, Com(), 4), 0);
    EXPECT_EQ(PatchTableCount(), count - 1);
}

TEST_F(FakeObjectTest, FailuresAnswerZeroAndDoNotBlockLaterCalls) {
    EXPECT_EQ(VTableEntryMgr(99, Com(), 4), 0);
    EXPECT_EQ(VTableEntryMgr(vtPatch, nullptr, 4, reinterpret_cast<void*>(&Replacement)), 0);
    EXPECT_EQ(VTableEntryMgr(vtPatch, Com(), 0, reinterpret_cast<void*>(&Replacement)), 0);
    EXPECT_FALSE(vb::Err().IsCurrent());
    // A failed op is not left on the op stack: patching still works.
    EXPECT_NE(VTableEntryMgr(vtPatch, Com(), 4, reinterpret_cast<void*>(&Replacement)), 0);
    EXPECT_EQ(table[3], Address(Replacement));
    VTableEntryMgr(vtUnpatch, Com(), 4);
}

TEST(ShellExecHookSlot, PatchedWhileAnyObjectLives) {
    hooktest::ComApartment com;
    Atom(atomGlobalDelete, HookOnAtom);
    IShellExecuteHookA* first = NewHook();
    ASSERT_NE(first, nullptr);
    uintptr_t* vtable = *reinterpret_cast<uintptr_t**>(first);
    EXPECT_EQ(ExecuteSlot(first), HookedExecuteAddress());

    IShellExecuteHookA* second = NewHook();
    EXPECT_EQ(zintra::LiveShellExecHooks(), 2);
    first->Release();  // the first patcher goes while the second lives
    EXPECT_EQ(vtable[3], HookedExecuteAddress());
    EXPECT_TRUE(AnswersThroughHookedExecute(second));
    second->Release();

    EXPECT_EQ(zintra::LiveShellExecHooks(), 0);
    EXPECT_NE(vtable[3], HookedExecuteAddress());

    // And a new object patches again.
    IShellExecuteHookA* third = NewHook();
    EXPECT_TRUE(AnswersThroughHookedExecute(third));
    third->Release();
    EXPECT_NE(vtable[3], HookedExecuteAddress());
}

// Threads that used the library also end cleanly: their module data needs no destructor.
TEST(ShellExecHookSlot, ObjectsOnOtherThreadsDoNotUnpatchOurs) {
    hooktest::ComApartment com;
    Atom(atomGlobalDelete, HookOnAtom);
    IShellExecuteHookA* mine = NewHook();
    ASSERT_NE(mine, nullptr);
    std::vector<std::thread> threads;
    std::vector<int> good(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&good, t] {
            hooktest::ComApartment threadCom;
            for (int i = 0; i < 50; ++i) {
                IShellExecuteHookA* hook = NewHook();
                if (hook && AnswersThroughHookedExecute(hook)) ++good[t];
                if (hook) hook->Release();
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(good[t], 50) << "thread " << t;
    EXPECT_TRUE(AnswersThroughHookedExecute(mine));
    mine->Release();
    EXPECT_EQ(zintra::LiveShellExecHooks(), 0);
}

TEST(ShellExecHookFallback, RemovesTheRegistrationAndLetsTheShellOpen) {
    hooktest::ComApartment com;
    FakePresenter presenter;
    HookRegistration(25);
    Registry(regSave, ApprovedExtensionsKey, L"", vb::Variant(HookClsidText), vb::Variant(L"Morva Zintra"),
             std::nullopt, HKEY_LOCAL_MACHINE, true);
    ASSERT_TRUE(hooktest::ReadString(HKEY_LOCAL_MACHINE, ShellExecuteHooksKey, HookClsidText).has_value());

    zintra::ShellExecHook* hook = new zintra::ShellExecHook();
    SHELLEXECUTEINFOA info{};
    info.hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(7));
    // The class's own body, as the shell reaches it when the slot is not patched.
    EXPECT_EQ(hook->zintra::ShellExecHook::Execute(&info), S_FALSE);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), 7);
    hook->Release();

    EXPECT_FALSE(hooktest::ReadString(HKEY_LOCAL_MACHINE, ShellExecuteHooksKey, HookClsidText).has_value());
    EXPECT_EQ(hooktest::ReadString(HKEY_LOCAL_MACHINE, ApprovedExtensionsKey, HookClsidText), L"Morva Zintra");
    EXPECT_TRUE(presenter.shown.empty());
}

TEST(HookRegistrationOps, OtherOpsRaise4001) {
    try {
        HookRegistration(8);
        ADD_FAILURE() << "op 8 must raise";
    } catch (const vb::Error& e) {
        EXPECT_EQ(e.Number(), MessageBase + 4001);
    }
    vb::Err().Clear();
}
