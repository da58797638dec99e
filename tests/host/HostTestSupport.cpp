#include "HostTestSupport.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "vb/VbApp.h"

namespace hosttest {

namespace {

HMODULE FakeProductModule() {
    static HMODULE module = LoadLibraryW((TestFolder() + L"\\host_fake_product.dll").c_str());
    return module;
}

template <typename F>
F FakeFunction(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(FakeProductModule(), name)));
}

void SetVariant(const std::wstring& owner, const wchar_t* member, VARIANT& value) {
    auto set = FakeFunction<void(__stdcall*)(const wchar_t*, const wchar_t*, const VARIANT*)>("FakeProductSet");
    ASSERT_NE(set, nullptr);
    set(owner.c_str(), member, &value);
    VariantClear(&value);
}

}  // namespace

std::wstring TestFolder() { return vb::AppPath(); }

namespace {
std::wstring BesideTests(const wchar_t* relative) {
    wchar_t full[MAX_PATH];
    GetFullPathNameW((TestFolder() + L"\\" + relative).c_str(), MAX_PATH, full, nullptr);
    return full;
}
}  // namespace

std::wstring ZintraPath() { return BesideTests(ZINTRA_RELATIVE_PATH); }
std::wstring BuiltHelpFilePath() { return BesideTests(HELP_FILE_RELATIVE_PATH); }

long RunAndWait(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<long>(code);
}

RegistryRedirect::RegistryRedirect() {
    scratch_ = L"Software\\LumoxTests\\Host" + std::to_wstring(GetCurrentProcessId());
    testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch_);
    RegCreateKeyExW(HKEY_CURRENT_USER, (scratch_ + L"\\HKLM").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &machine_, nullptr);
    RegCreateKeyExW(HKEY_CURRENT_USER, (scratch_ + L"\\HKCR").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &classes_, nullptr);
    EXPECT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_), ERROR_SUCCESS);
    EXPECT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_), ERROR_SUCCESS);
}

RegistryRedirect::~RegistryRedirect() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegCloseKey(machine_);
    RegCloseKey(classes_);
    testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch_);
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* valueName) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return std::nullopt;
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    LONG rc = RegQueryValueExW(h, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(data);
}

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

void WriteString(HKEY root, const std::wstring& key, const wchar_t* valueName, const std::wstring& data) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS) return;
    RegSetValueExW(h, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key) {
    std::vector<std::wstring> names;
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD length = 512;
        if (RegEnumValueW(h, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    RegCloseKey(h);
    return names;
}

void FakeProducts::RegisterOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    EXPECT_EQ(RunAndWait(L"regsvr32 /s \"" + TestFolder() + L"\\host_fake_product.dll\""), 0);
}

void FakeProducts::Reset() {
    auto reset = FakeFunction<void(__stdcall*)()>("FakeProductReset");
    ASSERT_NE(reset, nullptr);
    reset();
}

void FakeProducts::Set(const std::wstring& owner, const wchar_t* member, const std::wstring& text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text.c_str());
    SetVariant(owner, member, v);
}

void FakeProducts::Set(const std::wstring& owner, const wchar_t* member, double number) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R4;
    v.fltVal = static_cast<float>(number);
    SetVariant(owner, member, v);
}

void FakeProducts::Set(const std::wstring& owner, const wchar_t* member, bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    SetVariant(owner, member, v);
}

void FakeProducts::Fail(const std::wstring& owner, const wchar_t* member) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = E_FAIL;
    SetVariant(owner, member, v);
}

void FakeProducts::Remove(const std::wstring& owner, const wchar_t* member) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_UNKNOWNNAME;
    SetVariant(owner, member, v);
}

void FakeProducts::ShowModalWindow(HWND owner) {
    auto show = FakeFunction<void(__stdcall*)(HWND)>("FakeProductShowModal");
    if (show) show(owner);
}

std::vector<std::wstring> FakeProducts::Calls() {
    auto calls = FakeFunction<BSTR(__stdcall*)()>("FakeProductCalls");
    std::vector<std::wstring> lines;
    if (!calls) return lines;
    BSTR text = calls();
    std::wstring all = text ? text : L"";
    SysFreeString(text);
    size_t start = 0;
    for (size_t end; (end = all.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(all.substr(start, end - start));
    return lines;
}

long FakeProducts::Live(const std::wstring& owner) {
    auto live = FakeFunction<long(__stdcall*)(const wchar_t*)>("FakeProductLive");
    return live ? live(owner.c_str()) : -1;
}

}  // namespace hosttest
