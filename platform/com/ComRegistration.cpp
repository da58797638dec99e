#include "com/ComRegistration.h"

#include <oleauto.h>

#include "com/ComModule.h"

namespace com {

namespace {

const wchar_t kClassesRoot[] = L"Software\\Classes\\";

class Key {
public:
    Key() = default;
    ~Key() {
        if (h_) RegCloseKey(h_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* Put() { return &h_; }
    HKEY Get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

LONG SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& data) {
    Key key;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                              nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

HRESULT FromWin32(LONG rc) { return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(rc)); }

}  // namespace

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

LONG DeleteKeyTree(HKEY root, const std::wstring& path) {
    Key key;
    LONG rc = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, key.Put());
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        wchar_t name[256];
        DWORD size = 256;
        // Always the first subkey: each pass deletes it.
        if (RegEnumKeyExW(key.Get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        rc = DeleteKeyTree(key.Get(), name);
        if (rc != ERROR_SUCCESS) return rc;
    }
    rc = RegDeleteKeyW(root, path.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

HRESULT RegisterComClass(const ClassRegistration& reg, const std::wstring& modulePath) {
    const std::wstring clsid = GuidText(*reg.clsid);
    const std::wstring classKey = std::wstring(kClassesRoot) + L"CLSID\\" + clsid;
    LONG rc = SetValue(classKey, nullptr, reg.description ? reg.description : L"");
    if (rc != ERROR_SUCCESS) return FromWin32(rc);

    const std::wstring serverKey = classKey + (reg.localServer ? L"\\LocalServer32" : L"\\InprocServer32");
    // A server path with a blank goes quoted, so the system never tries its shorter prefixes.
    const bool quote = reg.localServer && modulePath.find(L' ') != std::wstring::npos;
    rc = SetValue(serverKey, nullptr, quote ? L"\"" + modulePath + L"\"" : modulePath);
    if (rc == ERROR_SUCCESS && reg.threadingModel) rc = SetValue(serverKey, L"ThreadingModel", reg.threadingModel);
    if (rc == ERROR_SUCCESS && reg.progId) rc = SetValue(classKey + L"\\ProgID", nullptr, reg.progId);
    if (rc == ERROR_SUCCESS && reg.version) rc = SetValue(classKey + L"\\VERSION", nullptr, reg.version);
    if (rc == ERROR_SUCCESS && reg.libid) rc = SetValue(classKey + L"\\TypeLib", nullptr, GuidText(*reg.libid));
    if (rc == ERROR_SUCCESS) rc = SetValue(classKey + L"\\Programmable", nullptr, L"");
    if (rc != ERROR_SUCCESS) return FromWin32(rc);

    if (reg.progId) {
        const std::wstring progKey = std::wstring(kClassesRoot) + reg.progId;
        rc = SetValue(progKey, nullptr, reg.description ? reg.description : reg.progId);
        if (rc == ERROR_SUCCESS) rc = SetValue(progKey + L"\\CLSID", nullptr, clsid);
    }
    return FromWin32(rc);
}

HRESULT UnregisterComClass(const ClassRegistration& reg) {
    LONG rc = DeleteKeyTree(HKEY_LOCAL_MACHINE, std::wstring(kClassesRoot) + L"CLSID\\" + GuidText(*reg.clsid));
    if (reg.progId) {
        LONG rc2 = DeleteKeyTree(HKEY_LOCAL_MACHINE, std::wstring(kClassesRoot) + reg.progId);
        if (rc == ERROR_SUCCESS) rc = rc2;
    }
    return FromWin32(rc);
}

HRESULT RegisterModuleTypeLib(const std::wstring& modulePath) {
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.Put());
    if (FAILED(hr)) return hr;
    std::wstring path = modulePath;
    return RegisterTypeLib(lib.Get(), &path[0], nullptr);
}

HRESULT UnregisterModuleTypeLib(const std::wstring& modulePath) {
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.Put());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    lib->ReleaseTLibAttr(attr);
    // Already gone counts as done.
    return hr == TYPE_E_REGISTRYACCESS ? S_OK : hr;
}

}  // namespace com
