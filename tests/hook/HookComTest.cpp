// The built library through COM, as the shell and the host use it: registered with
// regsvr32, the hook created by its CLSID, the chooser a local server of the tests' own.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <map>

#include "HookTestSupport.h"
#include "MorvaKestrow.h"
#include "Zintra.h"
#include "basHook.h"
#include "basHookNames.h"
#include "basHookSwitch.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"
#include "com/ComRegistration.h"
#include "vb/VbError.h"

using hooktest::ComApartment;

namespace {

const std::wstring kHookClassKey = std::wstring(L"Software\\Classes\\CLSID\\") + HookClsidText;
const std::wstring kChooserServerKey =
    L"Software\\Classes\\CLSID\\{FA417F55-1F47-40FD-9485-31BEA0BC4FDB}\\LocalServer32";

class ZintraThroughCom : public ::testing::Test {
protected:
    static void SetUpTestSuite() { hooktest::RegisterServersOnce(); }
    void TearDown() override { TurnHookOff(); }

    static com::ComPtr<IShellExecuteHookA> CreateHook() {
        com::ComPtr<IShellExecuteHookA> hook;
        HRESULT hr = CoCreateInstance(CLSID_ShellExecHook, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExecuteHookA,
                                      hook.PutVoid());
        EXPECT_EQ(hr, S_OK);
        return hook;
    }

    static SHELLEXECUTEINFOA Request() {
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_CLASSNAME;
        info.lpVerb = "open";
        info.lpFile = "C:\\Letters\\to mum.txt";
        info.lpDirectory = "C:\\Letters";
        info.lpClass = "txtfile";
        info.nShow = SW_SHOWNORMAL;
        return info;
    }

    ComApartment apartment;
};

std::map<std::wstring, std::optional<std::wstring>> RegistrationState() {
    return {
        {L"hook", hooktest::ReadString(HKEY_LOCAL_MACHINE, ShellExecuteHooksKey, HookClsidText)},
        {L"approved", hooktest::ReadString(HKEY_LOCAL_MACHINE, ApprovedExtensionsKey, HookClsidText)},
        {L"threading", hooktest::ReadString(HKEY_LOCAL_MACHINE, kHookClassKey + L"\\InprocServer32", L"ThreadingModel")},
        {L"server", hooktest::ReadString(HKEY_LOCAL_MACHINE, kHookClassKey + L"\\InprocServer32", nullptr)},
        {L"progid", hooktest::KeyExists(HKEY_LOCAL_MACHINE, kHookClassKey + L"\\ProgID") ? L"yes" : L"no"},
        {L"typelib", hooktest::KeyExists(HKEY_LOCAL_MACHINE, kHookClassKey + L"\\TypeLib") ? L"yes" : L"no"},
        {L"programmable", hooktest::KeyExists(HKEY_LOCAL_MACHINE, kHookClassKey + L"\\Programmable") ? L"yes" : L"no"},
        {L"categories",
         hooktest::KeyExists(HKEY_LOCAL_MACHINE, kHookClassKey + L"\\Implemented Categories") ? L"yes" : L"no"},
    };
}

}  // namespace

TEST_F(ZintraThroughCom, RegisteredByRegsvr32) {
    const auto server = hooktest::ReadString(HKEY_LOCAL_MACHINE, kHookClassKey + L"\\InprocServer32", nullptr);
    ASSERT_TRUE(server.has_value());
    EXPECT_EQ(*server, hooktest::ZintraPath());
    EXPECT_EQ(hooktest::ReadString(HKEY_LOCAL_MACHINE, kHookClassKey + L"\\InprocServer32", L"ThreadingModel"),
              L"Apartment");
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"MorvaZintra.ShellExecHook", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_ShellExecHook));
    ASSERT_EQ(CLSIDFromProgID(L"MorvaZintra.CForm", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_CForm));
}

TEST_F(ZintraThroughCom, SwitchedOffAnswersOneWithoutTheChooser) {
    TurnHookOff();
    hooktest::ForgetChooserCalls();
    auto hook = CreateHook();
    ASSERT_TRUE(hook);
    SHELLEXECUTEINFOA info = Request();
    EXPECT_EQ(hook->Execute(&info), S_FALSE);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), 33);
    EXPECT_EQ(hooktest::ChooserCalls(), 0);
}

TEST_F(ZintraThroughCom, SwitchedOnPassesTheChoosersAnswerUnchanged) {
    TurnHookOn();
    auto hook = CreateHook();
    ASSERT_TRUE(hook);
    const struct {
        const char* answer;
        HRESULT expected;
    } cases[] = {{"0", S_OK}, {"1", S_FALSE}, {"fail", S_FALSE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        hooktest::SetChooserAnswer(c.answer);
        hooktest::ForgetChooserCalls();
        SHELLEXECUTEINFOA info = Request();
        EXPECT_EQ(hook->Execute(&info), c.expected);
        EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), 33);
        EXPECT_EQ(hooktest::ChooserCalls(), 1);
        EXPECT_EQ(hooktest::LastChooserRequest(), BuildHookRequest(Request()));
    }
}

TEST_F(ZintraThroughCom, AChooserEndingJustAsTheRequestComesIsAskedAgainOnlyWhenTheCallNeverRan) {
    // The chooser's server lingers after its last client and then ends; a request that meets it
    // in that moment is taken by a fresh server and the user still gets the chooser's answer.
    // A call that may have run (its list shown, the program started) is never made twice: the
    // file would open twice. Then the shell goes on by itself.
    TurnHookOn();
    auto hook = CreateHook();
    ASSERT_TRUE(hook);
    const struct {
        const char* ending;
        const char* name;
        HRESULT expected;
        int calls;
    } cases[] = {
        {"stopping", "the class answers that its server is stopping", S_OK, 1},
        {"gone", "the server ends while the object is being made", S_OK, 1},
        {"disconnect", "the object is cut off from its clients before the call", S_FALSE, 0},
        {"during", "the server ends during the call", S_FALSE, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hooktest::SetChooserAnswer("0");
        hooktest::ForgetChooserCalls();
        hooktest::SetChooserEnding(c.ending);
        SHELLEXECUTEINFOA info = Request();
        EXPECT_EQ(hook->Execute(&info), c.expected);
        EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), 33);
        EXPECT_FALSE(hooktest::ChooserEndingPending()) << "the request met the ending server";
        EXPECT_EQ(hooktest::ChooserCalls(), c.calls);
        if (c.calls > 0) {
            EXPECT_EQ(hooktest::LastChooserRequest(), BuildHookRequest(Request()));
        }
        hooktest::ForgetChooserEnding();
    }
}

TEST_F(ZintraThroughCom, ChooserThatCannotBeCreatedGivesOne) {
    TurnHookOn();
    const auto server = hooktest::ReadString(HKEY_LOCAL_MACHINE, kChooserServerKey, nullptr);
    ASSERT_TRUE(server.has_value());
    hooktest::WriteString(HKEY_LOCAL_MACHINE, kChooserServerKey, nullptr, L"C:\\nowhere\\missing.exe");
    hooktest::ForgetChooserCalls();
    auto hook = CreateHook();
    SHELLEXECUTEINFOA info = Request();
    EXPECT_EQ(hook->Execute(&info), S_FALSE);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), 33);
    EXPECT_EQ(hooktest::ChooserCalls(), 0);
    hooktest::WriteString(HKEY_LOCAL_MACHINE, kChooserServerKey, nullptr, *server);
}

TEST_F(ZintraThroughCom, CFormAnswersByNameAndRegistersTheHook) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"MorvaZintra.CForm", &clsid), S_OK);
    com::ComPtr<IDispatch> form;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, form.PutVoid()), S_OK);

    const std::wstring properties = com::CallByName(form.Get(), L"Properties", DISPATCH_PROPERTYGET).ToString();
    EXPECT_EQ(properties, L"GeneralInitialization\rProperties");
    EXPECT_EQ(properties.size(), 32u);

    com::CallByName(form.Get(), L"GeneralInitialization", DISPATCH_METHOD);
    auto once = RegistrationState();
    EXPECT_EQ(once[L"hook"], L"Morva Zintra");
    EXPECT_EQ(once[L"approved"], L"Morva Zintra");
    EXPECT_EQ(once[L"threading"], L"Apartment");
    EXPECT_EQ(once[L"server"], hooktest::ZintraPath());
    EXPECT_EQ(once[L"progid"], L"no");
    EXPECT_EQ(once[L"typelib"], L"no");
    EXPECT_EQ(once[L"programmable"], L"no");
    EXPECT_EQ(once[L"categories"], L"no");

    com::CallByName(form.Get(), L"generalinitialization", DISPATCH_METHOD);
    EXPECT_EQ(RegistrationState(), once);

    try {
        com::CallByName(form.Get(), L"ShowForm", DISPATCH_METHOD);
        ADD_FAILURE() << "a member the face does not have must raise";
    } catch (const vb::Error& e) {
        EXPECT_EQ(e.Number(), vb::ErrMemberMissing);
    }
    vb::Err().Clear();

    // Put the self-registration back for whatever runs later.
    hooktest::RunAndWait(L"regsvr32 /s \"" + hooktest::ZintraPath() + L"\"");
}

TEST_F(ZintraThroughCom, UnloadsOnlyWithoutObjects) {
    HMODULE module = LoadLibraryW(hooktest::ZintraPath().c_str());
    ASSERT_NE(module, nullptr);
    auto canUnload = reinterpret_cast<HRESULT(__stdcall*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    auto getClassObject =
        reinterpret_cast<HRESULT(__stdcall*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ASSERT_TRUE(canUnload && getClassObject);
    CoFreeUnusedLibraries();
    EXPECT_EQ(canUnload(), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(CLSID_CForm, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload(), S_FALSE);
    object->Release();
    EXPECT_EQ(canUnload(), S_OK);
    EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    FreeLibrary(module);
}
