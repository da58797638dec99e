#include "basWinAPI_Registry.h"

#include <cwctype>
#include <vector>

#include "basErrorHandler.h"
#include "basStrings.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

thread_local long failureCount = 0;
thread_local long lastRegResult = 0;

// Closes the key it holds.
class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey() {
        if (h_) RegCloseKey(h_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY* Put() { return &h_; }
    HKEY Get() const { return h_; }
    // Closes now and answers the result, for the callers that check it.
    LONG Close() {
        LONG r = h_ ? RegCloseKey(h_) : ERROR_SUCCESS;
        h_ = nullptr;
        return r;
    }

private:
    HKEY h_ = nullptr;
};

long Check(LONG result, const wchar_t* procName, bool quiet) {
    return CheckAPIResult(result, procName, 0, ehReportAll, 0, quiet, &failureCount);
}

// RegOpenKey's access: whatever the caller is allowed.
LONG OpenRegistryKey(HKEY root, const std::wstring& path, HKEY* key) {
    return RegOpenKeyExA(root, vb::ToAnsi(path).c_str(), 0, MAXIMUM_ALLOWED, key);
}

// Registry key names are at most 255 characters.
const DWORD kKeyNameSize = 256;

LONG SubtreeReachable(HKEY key) {
    for (DWORD i = 0;; ++i) {
        wchar_t sub[kKeyNameSize];
        DWORD size = kKeyNameSize;
        LONG rc = RegEnumKeyExW(key, i, sub, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        HKEY child = nullptr;
        rc = RegOpenKeyExW(key, sub, 0, KEY_READ | DELETE, &child);
        if (rc != ERROR_SUCCESS) return rc;
        rc = SubtreeReachable(child);
        RegCloseKey(child);
        if (rc != ERROR_SUCCESS) return rc;
    }
}

LONG DeleteSubtree(HKEY key) {
    for (;;) {
        // Always the first subkey: each pass deletes it.
        wchar_t sub[kKeyNameSize];
        DWORD size = kKeyNameSize;
        LONG rc = RegEnumKeyExW(key, 0, sub, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        HKEY child = nullptr;
        rc = RegOpenKeyExW(key, sub, 0, KEY_READ | DELETE, &child);
        if (rc != ERROR_SUCCESS) return rc;
        rc = DeleteSubtree(child);
        RegCloseKey(child);
        if (rc == ERROR_SUCCESS) rc = RegDeleteKeyW(key, sub);
        if (rc != ERROR_SUCCESS) return rc;
    }
}

std::string AnsiName(const vb::Variant& name) { return vb::ToAnsi(name.ToString()); }

uint32_t DwordBits(const vb::Variant& value) {
    // A DWORD read back arrives as an unsigned Double; keep its bits on the way back in.
    if (value.IsDouble() || value.IsString()) {
        double d = value.ToDouble();
        if (d >= 2147483648.0 && d <= 4294967295.0) return static_cast<uint32_t>(d);
    }
    return static_cast<uint32_t>(static_cast<int32_t>(value.ToLong()));
}

bool IsTextType(long valueType) {
    return valueType == REG_SZ || valueType == REG_EXPAND_SZ || valueType == REG_MULTI_SZ;
}

vb::Variant::Bytes RegistryData(const vb::Variant& value, long valueType) {
    // Data kept as its bytes goes back as those bytes: a type without a writer of its own
    // (REG_NONE, REG_QWORD and above), an empty value, a number of another size.
    if (value.IsBytes() && valueType >= 0 && !IsTextType(valueType)) return value.AsBytes();
    vb::Variant::Bytes data;
    switch (valueType) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        // The terminator goes in, so the text reads back whole.
        std::string a = vb::ToAnsi(value.ToString());
        data.assign(a.begin(), a.end());
        data.push_back(0);
        break;
    }
    case REG_MULTI_SZ: {
        std::wstring t = value.ToString();
        while (!t.empty() && t.back() == L'\0') t.pop_back();
        std::string a = vb::ToAnsi(t);
        data.assign(a.begin(), a.end());
        data.push_back(0);
        data.push_back(0);
        break;
    }
    case REG_DWORD: {
        uint32_t v = DwordBits(value);
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(v >> (8 * i)));
        break;
    }
    case REG_DWORD_BIG_ENDIAN: {
        uint32_t v = static_cast<uint32_t>(SwapLongBytes(static_cast<int32_t>(DwordBits(vb::Variant(value.ToDouble())))));
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(v >> (8 * i)));
        break;
    }
    case REG_BINARY:
    case REG_LINK:
    case REG_RESOURCE_LIST:
    case REG_FULL_RESOURCE_DESCRIPTOR:
    case REG_RESOURCE_REQUIREMENTS_LIST:
        data = value.AsBytes();
        break;
    default:
        vb::Raise(MessageBase + 4001);
    }
    return data;
}

// A path that names the root key itself: empty, or nothing but backslashes. Deleting such a key
// would take every key below the root with it, and a value written there belongs to no key.
bool NamesTheRoot(const std::wstring& keyPath) { return keyPath.find_first_not_of(L'\\') == std::wstring::npos; }

// Refuses a call on the root key itself: reported unless quiet, counted like a failed call.
void RefuseRoot(const wchar_t* procName, bool quiet) {
    SetLastError(ERROR_ACCESS_DENIED);
    Check(ERROR_ACCESS_DENIED, procName, quiet);
}

}  // namespace

long& RegistryFailureCount() { return failureCount; }
long& LastRegResult() { return lastRegResult; }

std::wstring RegistryKeyPath(const std::wstring& Key, const std::wstring& SubKey, HKEY Root, bool KeyIsAbsolute) {
    if (!KeyIsAbsolute && (vb::IsNumeric(Key) || (!SubKey.empty() && Root == HKEY_LOCAL_MACHINE)))
        return JoinPaths(L"Software", L"Morva Corporation", {L"Morva Utility Manager", Key, SubKey});
    return Key;
}

vb::Variant Registry(short Action, const std::wstring& Key, const std::wstring& SubKey,
                     const std::optional<vb::Variant>& ValueName, const std::optional<vb::Variant>& Value,
                     const std::optional<vb::Variant>& Default, HKEY Root, bool Quiet, bool KeyIsAbsolute,
                     bool DeleteOption, long ValueType) {
    return Trapped(L"Registry", [&]() -> vb::Variant {
        failureCount = 0;
        std::wstring path = RegistryKeyPath(Key, SubKey, Root, KeyIsAbsolute);
        switch (Action) {
        case regDelete:
            return RegistryDelete(path, ValueName, Root, Quiet, DeleteOption);
        case regGet:
            if (!Default || !ValueName) vb::Raise(vb::ErrInvalidCall);
            return RegistryGet(path, *ValueName, *Default, Root, Quiet);
        case regGetValues:
            return RegistryGetValues(path, Root, Quiet);
        case regSave:
            if (!Value || !ValueName) vb::Raise(vb::ErrInvalidCall);
            RegistrySave(path, *ValueName, *Value, Root, Quiet, ValueType);
            return {};
        default:
            vb::Raise(vb::ErrInvalidCall);
        }
    });
}

bool RegistryDelete(const std::wstring& keyPath, const std::optional<vb::Variant>& valueName, HKEY root, bool quiet,
                    bool deleteOption) {
    constexpr const wchar_t* name = L"RegistryDelete";
    bool opened = false;
    // Neither the root key nor a value of the root's own: nothing of the suite keeps one there.
    if (NamesTheRoot(keyPath)) {
        RefuseRoot(name, quiet);
        return false;
    }
    TrappedVoid(name, [&] {
        OpenKey key;
        if (Check(OpenRegistryKey(root, keyPath, key.Put()), name, quiet) != ERROR_SUCCESS) return;
        opened = true;
        if (valueName) {
            Check(RegDeleteValueA(key.Get(), AnsiName(*valueName).c_str()), name, quiet);
        } else {
            if (deleteOption) {
                // A tree goes whole or not at all: the key's own right to be deleted and every
                // subkey are first reached, the subkeys by their wide names so none is lost to
                // the code page, and only then is anything deleted.
                OpenKey deletable;
                if (Check(RegOpenKeyExA(root, vb::ToAnsi(keyPath).c_str(), 0, KEY_READ | DELETE, deletable.Put()),
                          name, quiet) != ERROR_SUCCESS)
                    return;
                if (Check(SubtreeReachable(key.Get()), name, quiet) != ERROR_SUCCESS) return;
                if (Check(DeleteSubtree(key.Get()), name, quiet) != ERROR_SUCCESS) return;
            }
            Check(RegDeleteKeyA(key.Get(), ""), name, quiet);
        }
        Check(key.Close(), name, quiet);
    });
    return opened;
}

bool RegistrySave(const std::wstring& keyPath, const vb::Variant& valueName, const vb::Variant& value, HKEY root,
                  bool quiet, long valueType) {
    constexpr const wchar_t* name = L"RegistrySave";
    if (NamesTheRoot(keyPath)) {
        RefuseRoot(name, quiet);
        return false;
    }
    bool finished = false;
    bool saved = Trapped(name, [&] {
        OpenKey key;
        if (Check(RegCreateKeyExA(root, vb::ToAnsi(keyPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  MAXIMUM_ALLOWED, nullptr, key.Put(), nullptr),
                  name, quiet) != ERROR_SUCCESS) {
            finished = true;
            return false;
        }
        vb::Variant::Bytes data = RegistryData(value, valueType);
        Check(RegSetValueExA(key.Get(), AnsiName(valueName).c_str(), 0, static_cast<DWORD>(valueType),
                             data.data(), static_cast<DWORD>(data.size())),
              name, quiet);
        Check(key.Close(), name, quiet);
        finished = true;
        return true;
    });
    // A write refused before it reached the registry (a type without a writer, data of the
    // wrong kind) is a failed write all the same: callers of action 25 learn of it only here.
    if (!finished) ++failureCount;
    return saved;
}

vb::Variant RegistryGet(const std::wstring& keyPath, const vb::Variant& valueName, const vb::Variant& defaultValue,
                        HKEY root, bool quiet) {
    constexpr const wchar_t* name = L"RegistryGet";
    vb::Variant result = Trapped(name, [&]() -> vb::Variant {
        OpenKey key;
        // A missing key is no failure: the caller's default answers.
        if (OpenRegistryKey(root, keyPath, key.Put()) != ERROR_SUCCESS) return {};
        vb::Variant value;
        char className[256] = {};
        DWORD classLength = 254;
        DWORD values = 0, maxData = 0;
        if (Check(RegQueryInfoKeyA(key.Get(), className, &classLength, nullptr, nullptr, nullptr, nullptr, &values,
                                   nullptr, &maxData, nullptr, nullptr),
                  name, quiet) == ERROR_SUCCESS &&
            values > 0) {
            std::string valueAnsi = AnsiName(valueName);
            vb::Variant::Bytes buffer(maxData + 1);
            DWORD type = 0, size = static_cast<DWORD>(buffer.size());
            LONG r = RegQueryValueExA(key.Get(), valueAnsi.c_str(), nullptr, &type, buffer.data(), &size);
            if (r == ERROR_MORE_DATA) {
                // The key's own figure can fall short of the ANSI form; take what the value says.
                buffer.resize(size + 1);
                size = static_cast<DWORD>(buffer.size());
                r = RegQueryValueExA(key.Get(), valueAnsi.c_str(), nullptr, &type, buffer.data(), &size);
            }
            if (Check(r, name, quiet) == ERROR_SUCCESS) value = CvtRegData(type, size, buffer);
        }
        Check(key.Close(), name, quiet);
        return value;
    });
    return result.IsEmpty() ? defaultValue : result;
}

vb::Variant RegistryGetValues(const std::wstring& keyPath, HKEY root, bool quiet) {
    constexpr const wchar_t* name = L"RegistryGetValues";
    return Trapped(name, [&]() -> vb::Variant {
        OpenKey key;
        if (OpenRegistryKey(root, keyPath, key.Put()) != ERROR_SUCCESS) return {};
        char className[31] = {};
        DWORD classLength = 30;
        DWORD count = 0, maxName = 0, maxData = 0;
        vb::Variant result;
        if (Check(RegQueryInfoKeyA(key.Get(), className, &classLength, nullptr, nullptr, nullptr, nullptr, &count,
                                   &maxName, &maxData, nullptr, nullptr),
                  name, quiet) == ERROR_SUCCESS &&
            count > 0) {
            vb::Variant::Array names(count), datas(count), types(count);
            size_t places = 0;
            std::vector<char> nameBuffer(maxName + 2);
            vb::Variant::Bytes dataBuffer(maxData + 2);
            for (DWORD i = 0; i < count; ++i) {
                DWORD nameLength = 0, type = 0, size = 0;
                LONG r = ERROR_MORE_DATA;
                // The key's own figures can fall short of the ANSI forms; grow and try again.
                for (int attempt = 0; attempt < 4 && r == ERROR_MORE_DATA; ++attempt) {
                    if (attempt > 0) {
                        nameBuffer.resize(nameBuffer.size() * 2);
                        dataBuffer.resize(dataBuffer.size() * 2);
                    }
                    nameLength = static_cast<DWORD>(nameBuffer.size());
                    size = static_cast<DWORD>(dataBuffer.size());
                    r = RegEnumValueA(key.Get(), i, nameBuffer.data(), &nameLength, nullptr, &type,
                                      dataBuffer.data(), &size);
                }
                if (Check(r, name, quiet) != ERROR_SUCCESS) continue;
                vb::Variant data = CvtRegData(type, size, dataBuffer);
                if (data.IsEmpty()) continue;
                std::wstring valueName = vb::FromAnsi(std::string_view(nameBuffer.data(), nameLength));
                names[places] = vb::RTrim(StripChrs(valueName, L"", true));
                datas[places] = std::move(data);
                types[places] = vb::Variant(static_cast<long>(type));
                ++places;
            }
            if (places > 0) {
                names.resize(places);
                datas.resize(places);
                types.resize(places);
                result = vb::Variant::Array{vb::Variant(std::move(names)), vb::Variant(std::move(datas)),
                                            vb::Variant(std::move(types))};
            }
        }
        Check(key.Close(), name, quiet);
        return result;
    });
}

vb::Variant CvtRegData(long type, long size, const vb::Variant::Bytes& data) {
    return Trapped(L"CvtRegData", [&]() -> vb::Variant {
        if (size < 1 || type < 1 || type > 10) return {};
        if (static_cast<size_t>(size) > data.size()) vb::Raise(vb::ErrSubscript);
        switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ: {
            // Only the terminators go; the text itself reads back whole.
            std::wstring text = vb::FromAnsi(std::string_view(reinterpret_cast<const char*>(data.data()), size));
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            return text;
        }
        case REG_DWORD:
        case REG_DWORD_BIG_ENDIAN: {
            if (size < 4) vb::Raise(vb::ErrSubscript);
            double v = 0;
            for (int i = 0; i < 4; ++i) {
                int weight = type == REG_DWORD ? i : 3 - i;
                v += static_cast<double>(data[i]) * static_cast<double>(1ULL << (8 * weight));
            }
            return v;
        }
        default:
            return vb::Variant::Bytes(data.begin(), data.begin() + size);
        }
    });
}

int32_t SwapLongBytes(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    return static_cast<int32_t>((v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24));
}

std::wstring ByteArrayToString(const vb::Variant& value) {
    try {
        if (!value.IsBytes()) return value.ToString();
        std::wstring text;
        for (uint8_t b : value.AsBytes()) {
            char c = static_cast<char>(b);
            wchar_t w = 0;
            if (b == 0 || MultiByteToWideChar(CP_ACP, 0, &c, 1, &w, 1) == 1) text.push_back(w);
        }
        return text;
    } catch (...) {
        vb::Err().Clear();
        return {};
    }
}

bool RegistryCreateKey(const std::wstring& keyPath, HKEY root, bool quiet) {
    constexpr const wchar_t* name = L"RegistryCreateKey";
    failureCount = 0;
    if (NamesTheRoot(keyPath)) {
        RefuseRoot(name, quiet);
        return false;
    }
    return Trapped(
        name,
        [&] {
            OpenKey key;
            if (Check(RegCreateKeyExA(root, vb::ToAnsi(keyPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      MAXIMUM_ALLOWED, nullptr, key.Put(), nullptr),
                      name, quiet) != ERROR_SUCCESS)
                return false;
            return Check(key.Close(), name, quiet) == ERROR_SUCCESS;
        },
        false);
}

bool RegistryKeyExists(const std::wstring& keyPath, HKEY root) {
    OpenKey key;
    return RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

bool RegistryKeyLastWritten(const std::wstring& keyPath, HKEY root, FILETIME& written) {
    written = FILETIME{};
    OpenKey key;
    if (RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS) return false;
    return RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, &written) == ERROR_SUCCESS;
}
