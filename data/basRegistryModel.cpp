#include "basRegistryModel.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string_view>
#include <unordered_set>

#include "basAssocLinks.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "basWinAPI_Windows.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

// The model and the loading state live as long as the library; the options library works on
// one thread.
struct ModelState {
    RegKeyRecords extKeys{1};
    RegKeyRecords assocKeys{1};
    RegKeyRecords explorerExtKeys{1};
    std::vector<long> extByName{0};
    std::vector<long> extByAssoc{0};
    std::vector<long> assocByName{0};
    short logMode = 0;
    std::vector<std::wstring> assocSkipList;
    long recursionMarks = 0;
    long assocMarks = 0;
    long extensionMarks = 0;
    long extPosition = 0;
    long assocPosition = 0;
    long explorerPosition = 0;
    bool recursionMessageShown = false;
    // Whether the last load of the extensions and of the associations each ran to its end.
    bool extensionsWhole = true;
    bool associationsWhole = true;
    // Classes an extension names that are there but could not be opened for reading.
    std::vector<std::wstring> unreadAssociations;
    std::wstring versionOverride;
};

ModelState& State() {
    static ModelState state;
    return state;
}

enum class Reader { Extensions, Associations, Explorer };

const size_t kLongestValueName = 2 * 16383 + 2;

const wchar_t* ReaderName(Reader reader) {
    switch (reader) {
    case Reader::Extensions: return L"RegistryGetExtSubkeys";
    case Reader::Associations: return L"RegistryGetAssocSubkeys";
    default: return L"RegistryGetExplorerFileExtsSubkeys";
    }
}

long& Position(Reader reader) {
    switch (reader) {
    case Reader::Extensions: return State().extPosition;
    case Reader::Associations: return State().assocPosition;
    default: return State().explorerPosition;
    }
}

RegKeyRecords& RecordsOf(Reader reader) {
    switch (reader) {
    case Reader::Extensions: return State().extKeys;
    case Reader::Associations: return State().assocKeys;
    default: return State().explorerExtKeys;
    }
}

// Closes the key it holds.
class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() { Close(); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    HKEY* Put() { return &h_; }
    HKEY Get() const { return h_; }
    void Close() {
        if (h_) RegCloseKey(h_);
        h_ = nullptr;
    }

private:
    HKEY h_ = nullptr;
};

// Read access is all the model needs; the result is kept for whoever looks at it.
bool OpenForReading(HKEY root, const std::wstring& path, ScopedKey& key) {
    LastRegResult() = RegOpenKeyExA(root, vb::ToAnsi(path).c_str(), 0, KEY_READ, key.Put());
    return LastRegResult() == ERROR_SUCCESS;
}

struct KeyCounts {
    DWORD subkeys = 0;
    DWORD longestSubkey = 0;
    DWORD values = 0;
    DWORD longestValueName = 0;
    DWORD largestData = 0;
};

bool QueryKey(HKEY key, DWORD classBlanks, KeyCounts& counts) {
    std::vector<char> className(classBlanks + 1, ' ');
    DWORD classLength = classBlanks;
    LastRegResult() = RegQueryInfoKeyA(key, className.data(), &classLength, nullptr, &counts.subkeys,
                                       &counts.longestSubkey, nullptr, &counts.values, &counts.longestValueName,
                                       &counts.largestData, nullptr, nullptr);
    if (LastRegResult() == ERROR_MORE_DATA) {
        // A class name longer than the buffer: the counts are what this reader wants.
        className.assign(32768, ' ');
        classLength = 32767;
        LastRegResult() = RegQueryInfoKeyA(key, className.data(), &classLength, nullptr, &counts.subkeys,
                                           &counts.longestSubkey, nullptr, &counts.values,
                                           &counts.longestValueName, &counts.largestData, nullptr, nullptr);
    }
    return LastRegResult() == ERROR_SUCCESS;
}

// The name of subkey index; the buffer grows when a name is longer than the key said.
// Answers false at the end of the list or on any other failure.
bool EnumSubkeyName(HKEY key, DWORD index, std::vector<char>& buffer, std::wstring& name) {
    for (int attempt = 0; attempt < 6; ++attempt) {
        DWORD length = static_cast<DWORD>(buffer.size());
        LastRegResult() = RegEnumKeyExA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (LastRegResult() == ERROR_MORE_DATA) {
            // Key names are at most 255 characters (twice that in bytes of a multi-byte code page).
            buffer.resize(std::max<size_t>(buffer.size() * 2 + 2, 1024));
            continue;
        }
        if (LastRegResult() != ERROR_SUCCESS) return false;
        // The text before the first NUL.
        std::string_view raw(buffer.data(), std::min<size_t>(length, buffer.size()));
        size_t nul = raw.find('\0');
        if (nul != std::string_view::npos) raw = raw.substr(0, nul);
        name = vb::FromAnsi(raw);
        return true;
    }
    return false;
}

bool Logging() { return State().logMode == 2 || State().logMode == 4; }

void Mark(const wchar_t* iniKey, const std::wstring& text) {
    if (Logging()) IniFile(IniWrite, iniKey, vb::Variant(text));
}

void MainMark(const std::wstring& text, int stage) {
    if (Logging()) Mark(L"Log Registry Loading Main", text + L", Stage: " + std::to_wstring(stage));
}

std::wstring NowStamp() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t buffer[32];
    swprintf(buffer, 32, L"%04u/%02u/%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond);
    return buffer;
}

// "Key Recur n", "Key Assoc n", "Key Exten n": written whatever the logging state.
void NumberedMark(const wchar_t* prefix, long& counter, const std::wstring& text) {
    ++counter;
    std::wstring value = text.empty() ? std::wstring() : L"[" + NowStamp() + L"]  " + text;
    IniFile(IniWrite, std::wstring(prefix) + L" " + std::to_wstring(counter), vb::Variant(value));
}
void RecursionMark(const std::wstring& text) { NumberedMark(L"Key Recur", State().recursionMarks, text); }
void AssociationMark(const std::wstring& text) { NumberedMark(L"Key Assoc", State().assocMarks, text); }
void ExtensionMark(const std::wstring& text) { NumberedMark(L"Key Exten", State().extensionMarks, text); }

void ReportRunawayNesting(const std::wstring& path) {
    RecursionMark(path);
    if (State().recursionMessageShown) return;
    State().recursionMessageShown = true;
    MessageHandler(MessageBase + 4536);
}

bool StartsWithSkippedName(const std::wstring& path) { return IsSkippedKey(path); }

// The record at the running position of the reader, grown when the key gained subkeys
// while it was read.
SubkeyRecord& SlotAt(RegKeyRecord& owner, long position) {
    if (position < 0) vb::Raise(vb::ErrSubscript);
    if (static_cast<size_t>(position) >= owner.Subkeys.size()) owner.Subkeys.resize(position + 1);
    return owner.Subkeys[position];
}

// A subkey reader's progress mark while loading is logged: the association reader's text or the
// extension reader's, followed by tail; nullptr where that reader marks nothing at the step.
void SubkeyMark(Reader reader, const wchar_t* associations, const wchar_t* extensions, const std::wstring& tail = {}) {
    if (!Logging()) return;
    const wchar_t* text = reader == Reader::Associations ? associations
                          : reader == Reader::Extensions ? extensions
                                                          : nullptr;
    if (text) Mark(L"Log Registry Loading Subkey", text + tail);
}

void FillSubkeyRecord(Reader reader, SubkeyRecord& record, const std::wstring& path, HKEY key,
                      const KeyCounts& counts, bool itsOwnLeaf) {
    record.KeyName = path;
    if (counts.values > 0) {
        if (itsOwnLeaf)
            SubkeyMark(reader, L"RGASK 5: ", L"RGESK 5", path);
        else
            SubkeyMark(reader, L"RGASK 1", L"RGESK 2");
        GetValuesFromOpenKey(record, key, counts.values, counts.longestValueName, counts.largestData);
    } else {
        record.KeyValues.clear();
        record.ValueIndex = -1;
    }
}

void ReadSubkeys(Reader reader, RegKeyRecord& owner, const std::wstring& path, HKEY root, HKEY openKey,
                 const KeyCounts* knownCounts, bool& recursion, bool isSubkey, int depth);

// One level of a subkey reader, under that reader's own trap: an error ends this level only.
// The key is opened below its parent's open key, which finds the same key as root\path.
void ReadSubkeyLevel(Reader reader, RegKeyRecord& owner, const std::wstring& path, HKEY root, HKEY parent,
                     const std::wstring& name, bool& recursion, int depth) {
    TrappedVoid(ReaderName(reader), [&] {
        ScopedKey key;
        if (!OpenForReading(parent, name, key)) return;
        ReadSubkeys(reader, owner, path, root, key.Get(), nullptr, recursion, true, depth);
    });
}

void ReadSubkeys(Reader reader, RegKeyRecord& owner, const std::wstring& path, HKEY root, HKEY openKey,
                 const KeyCounts* knownCounts, bool& recursion, bool isSubkey, int depth) {
    ScopedKey own;
    HKEY key = openKey;
    if (!key) {
        if (!OpenForReading(root, path, own)) return;
        key = own.Get();
    }
    SubkeyMark(reader, nullptr, L"RGESK 1");
    KeyCounts counts;
    if (knownCounts)
        counts = *knownCounts;
    else if (!QueryKey(key, 40, counts))
        return;

    long& position = Position(reader);
    // Children of big system subtrees are not worth reading.
    if (reader == Reader::Associations && counts.subkeys > 20 && StartsWithSkippedName(path)) counts.subkeys = 0;
    if (counts.subkeys == 0) {
        if (isSubkey) FillSubkeyRecord(reader, SlotAt(owner, position), path, key, counts, true);
        return;
    }

    if (owner.Subkeys.empty()) {
        owner.Subkeys.resize(counts.subkeys);
        position = 0;
    } else {
        owner.Subkeys.resize(owner.Subkeys.size() + counts.subkeys);
    }
    if (isSubkey) FillSubkeyRecord(reader, SlotAt(owner, position), path, key, counts, false);

    std::vector<char> nameBuffer(counts.longestSubkey + 2, '\0');
    for (DWORD i = 0; i < counts.subkeys; ++i) {
        SubkeyMark(reader, L"RGASK 2", L"RGESK 3");
        std::wstring name;
        if (!EnumSubkeyName(key, i, nameBuffer, name)) break;
        SubkeyMark(reader, L"RGASK 3", nullptr);
        if (name.empty()) continue;
        std::wstring subpath = JoinPaths(path, name);
        SubkeyMark(reader, L"RGASK 4: ", L"RGESK 4: ", subpath);
        if (owner.Subkeys.size() > MaxSubkeyRecords) {
            if (!recursion) ReportRunawayNesting(subpath);
            recursion = true;
            break;
        }
        if (isSubkey || i != 0) ++position;
        if (depth + 1 > MaxSubkeyDepth || IsRunawayNesting(subpath)) {
            recursion = true;
            ReportRunawayNesting(subpath);
            SlotAt(owner, position);  // the slot stays an empty record
            continue;
        }
        ReadSubkeyLevel(reader, owner, subpath, root, key, name, recursion, depth + 1);
    }
}

// The values of a key record from its open key (step "GetValues" of the key readers).
// prefix nullptr: a reader without marks.
void ReadKeyValues(SubkeyRecord& record, HKEY key, const KeyCounts& counts, const wchar_t* prefix) {
    if (!Logging()) prefix = nullptr;
    if (prefix) Mark(L"Log Registry Loading Detail", std::wstring(prefix) + L"GetValues 1");
    if (counts.values > 0) {
        if (prefix) Mark(L"Log Registry Loading Detail", std::wstring(prefix) + L"GetValues 2");
        GetValuesFromOpenKey(record, key, counts.values, counts.longestValueName, counts.largestData);
    } else {
        record.ValueIndex = -1;
    }
    if (prefix) Mark(L"Log Registry Loading Detail", std::wstring(prefix) + L"GetValues 3");
}

// Reads the keys of a base path that match the patterns into the reader's array (from its
// current upper bound on). False when the enumeration ended before the count the key gave
// (a key removed meanwhile, a failing read): the array then lacks keys that are there.
bool ReadKeys(Reader reader, const std::wstring& basePath, HKEY root, const std::wstring& patterns) {
    const bool extensions = reader == Reader::Extensions;
    RegKeyRecords& records = RecordsOf(reader);
    if (records.empty()) records.resize(1);
    ScopedKey base;
    if (!OpenForReading(root, basePath, base)) return true;
    if (extensions) MainMark(basePath, 2);
    KeyCounts baseCounts;
    if (!QueryKey(base.Get(), 255, baseCounts)) return true;
    if (baseCounts.subkeys == 0) {
        // No keys: only the empty element 0 is left.
        records.resize(1);
        return true;
    }
    records.reserve(records.size() + baseCounts.subkeys);

    bool whole = true;
    std::vector<char> nameBuffer(baseCounts.longestSubkey + 2, '\0');
    for (DWORD i = 0; i < baseCounts.subkeys; ++i) {
        std::wstring raw;
        if (!EnumSubkeyName(base.Get(), i, nameBuffer, raw)) {
            whole = false;
            break;
        }
        std::wstring name = vb::Trim(StripChrs(raw, L"", true));
        if (extensions) MainMark(name, 2);
        ShowStatus(3, std::to_wstring(i + 1));
        if (!MatchesPatternList(name, patterns)) continue;

        records.emplace_back();
        const long index = static_cast<long>(records.size()) - 1;
        records[index].KeyName = name;
        std::wstring path = JoinPaths(basePath, name);
        ScopedKey key;
        KeyCounts counts;
        bool opened = OpenForReading(base.Get(), name, key);
        if (opened && QueryKey(key.Get(), 40, counts)) {
            ReadKeyValues(records[index], key.Get(), counts, extensions ? L"" : nullptr);
        } else {
            records[index].ValueIndex = -1;
            if (opened) key.Close();
        }

        bool recursion = false;
        if (key.Get()) {
            TrappedVoid(ReaderName(reader), [&] {
                ReadSubkeys(reader, records[index], path, root, key.Get(), &counts, recursion, false, 0);
            });
        }
        if (recursion && extensions) {
            ExtensionMark(L"Key: " + name);
            AssociationMark(L"");
        }
    }
    ShowStatus(3, L"");
    return whole;
}

std::vector<long> SortedIndexes(const std::vector<std::wstring>& keys, size_t first) {
    std::vector<long> order(keys.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<long>(i);
    std::stable_sort(order.begin() + static_cast<long>(std::min(first, order.size())), order.end(),
                     [&](long a, long b) { return vb::StrComp(keys[a], keys[b], vb::TextCompare) < 0; });
    return order;
}

// A value's data as the model keeps it: text and four-byte numbers as the dispatcher converts
// them; the types it does not convert (REG_NONE, REG_QWORD and any other) and numbers of another
// size as their bytes, so that a snapshot can give them back as they were; an empty value as
// empty text or no bytes, keeping its type.
vb::Variant ModelValueData(DWORD type, DWORD size, const vb::Variant::Bytes& data) {
    const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    if (size == 0) return text ? vb::Variant(L"") : vb::Variant(vb::Variant::Bytes{});
    if (size > data.size()) size = static_cast<DWORD>(data.size());
    if (text || ((type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) && size == 4))
        return CvtRegData(static_cast<long>(type), static_cast<long>(size), data);
    return vb::Variant::Bytes(data.begin(), data.begin() + size);
}

struct TextLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return vb::StrComp(a, b, vb::TextCompare) < 0;
    }
};

}  // namespace

RegKeyRecords& ExtKeys() { return State().extKeys; }
RegKeyRecords& AssocKeys() { return State().assocKeys; }
RegKeyRecords& ExplorerExtKeys() { return State().explorerExtKeys; }
std::vector<long>& ExtByName() { return State().extByName; }
std::vector<long>& ExtByAssoc() { return State().extByAssoc; }
std::vector<long>& AssocByName() { return State().assocByName; }
short& LogMode() { return State().logMode; }

std::wstring ModelWindowsVersionName() {
    if (!State().versionOverride.empty()) return State().versionOverride;
    bool isWindows9x = false;
    return GetWindowsVersionName(isWindows9x);
}

void SetModelWindowsVersionOverride(const std::wstring& name) { State().versionOverride = name; }

const std::vector<std::wstring>& AssociationSkipList() {
    static const std::vector<std::wstring> names =
        vb::Split(L"Media Type|SystemFileAssociations|Licenses|Component Categories|MIME|AppID|"
                  L"Applications|Installer|TypeLib|CLSID|Interface",
                  L"|");
    return names;
}

bool IsSkippedKey(const std::wstring& name) {
    for (const std::wstring& skipped : AssociationSkipList()) {
        if (!vb::StartsWith(name, skipped, vb::TextCompare)) continue;
        if (name.size() == skipped.size() || name[skipped.size()] == L'\\') return true;
    }
    return false;
}

bool RegistryModelWhole() { return State().extensionsWhole && State().associationsWhole; }

const std::vector<std::wstring>& UnreadAssociations() { return State().unreadAssociations; }

void ResetRegistryModelState() {
    std::wstring version = State().versionOverride;
    State() = ModelState{};
    State().versionOverride = version;
}

std::wstring ValueDataText(const vb::Variant& data) {
    try {
        if (data.IsBytes()) return ByteArrayToString(data);
        if (data.IsNull() || data.IsArray()) return {};
        return data.ToString();
    } catch (...) {
        vb::Err().Clear();
        return {};
    }
}

std::wstring UnnamedValueText(const SubkeyRecord& record) {
    if (record.ValueIndex < 0 || static_cast<size_t>(record.ValueIndex) >= record.KeyValues.size()) return {};
    return ValueDataText(record.KeyValues[record.ValueIndex].ValueData);
}

std::wstring AssociationNameOf(const SubkeyRecord& record, bool& hasTag) {
    hasTag = false;
    return StripPreviewerDisableTag(UnnamedValueText(record), hasTag);
}

bool IsRunawayNesting(const std::wstring& path) {
    // The last part and how often it stands directly before itself (binary compare).
    std::wstring_view rest(path);
    size_t slash = rest.rfind(L'\\');
    if (slash == std::wstring_view::npos) return false;
    const std::wstring_view last = rest.substr(slash + 1);
    rest = rest.substr(0, slash);
    int repeats = 0;
    for (;;) {
        size_t before = rest.rfind(L'\\');
        std::wstring_view part = before == std::wstring_view::npos ? rest : rest.substr(before + 1);
        if (part != last) break;
        if (++repeats > 10) return true;
        if (before == std::wstring_view::npos) break;
        rest = rest.substr(0, before);
    }
    return false;
}

void GetValuesFromOpenKey(SubkeyRecord& record, HKEY key, DWORD values, DWORD longestName, DWORD largestData) {
    record.KeyValues.assign(values, RegValueRecord{});
    record.ValueIndex = -1;
    std::vector<char> nameBuffer(longestName + 2, ' ');
    vb::Variant::Bytes dataBuffer(largestData + 2, 0);
    for (DWORD i = 0; i < values; ++i) {
        if (Logging()) Mark(L"Log Registry Loading Value", L"GVFOK 1: " + std::to_wstring(i));
        DWORD nameLength = 0, type = 0, size = 0;
        LONG r = ERROR_MORE_DATA;
        // The key's own figures can fall short of the ANSI forms; grow and read again.
        for (int attempt = 0; attempt < 6 && r == ERROR_MORE_DATA; ++attempt) {
            if (attempt > 0) {
                // Value names are at most 16,383 characters (twice that in bytes of a
                // multi-byte code page); the data says what it needs.
                if (nameBuffer.size() < kLongestValueName) nameBuffer.resize(kLongestValueName, ' ');
                dataBuffer.resize(std::max<size_t>(size + 2, dataBuffer.size() * 2 + 2), 0);
            }
            nameLength = static_cast<DWORD>(nameBuffer.size());
            size = static_cast<DWORD>(dataBuffer.size());
            r = RegEnumValueA(key, i, nameBuffer.data(), &nameLength, nullptr, &type, dataBuffer.data(), &size);
        }
        LastRegResult() = r;
        if (r == ERROR_NO_MORE_ITEMS) {
            // Values went away while the key was read.
            record.KeyValues.resize(i);
            break;
        }
        if (r != ERROR_SUCCESS) continue;
        RegValueRecord& value = record.KeyValues[i];
        value.ValueName = vb::FromAnsi(std::string_view(nameBuffer.data(), nameLength));
        if (value.ValueName.empty()) record.ValueIndex = static_cast<long>(i);
        // Text comes without its trailing NULs.
        value.ValueData = ModelValueData(type, size, dataBuffer);
        if (Logging())
            Mark(L"Log Registry Loading Value",
                 L"GVFOK 2: Name: " + value.ValueName + L", Value: " + ValueDataText(value.ValueData));
        value.ValueType = static_cast<long>(type);
    }
}

void RegistryGetExtSubkeys(const std::wstring& keyPath, HKEY root, long ownerIndex, bool& recursion, bool isSubkey) {
    TrappedVoid(L"RegistryGetExtSubkeys", [&] {
        ReadSubkeys(Reader::Extensions, ExtKeys().at(ownerIndex), keyPath, root, nullptr, nullptr, recursion,
                    isSubkey, 0);
    });
}

void RegistryGetAssocSubkeys(const std::wstring& keyPath, HKEY root, long ownerIndex, bool& recursion,
                             bool isSubkey) {
    TrappedVoid(L"RegistryGetAssocSubkeys", [&] {
        ReadSubkeys(Reader::Associations, AssocKeys().at(ownerIndex), keyPath, root, nullptr, nullptr, recursion,
                    isSubkey, 0);
    });
}

void RegistryGetExplorerFileExtsSubkeys(const std::wstring& keyPath, HKEY root, long ownerIndex, bool& recursion,
                                        bool isSubkey) {
    TrappedVoid(L"RegistryGetExplorerFileExtsSubkeys", [&] {
        ReadSubkeys(Reader::Explorer, ExplorerExtKeys().at(ownerIndex), keyPath, root, nullptr, nullptr,
                    recursion, isSubkey, 0);
    });
}

bool RegistryGetExtKeys(const std::wstring& basePath, HKEY root, const std::wstring& patterns) {
    return Trapped(
        L"RegistryGetExtKeys",
        [&] {
            // The crash log: a value left above 0 means the previous load did not finish.
            long found = IniFile(IniRead, L"Log Registry Loading", {}, vb::Variant(0L)).ToLong();
            if (found < 1)
                IniFile(IniWrite, L"Log Registry Loading", vb::Variant(1L));
            else
                MessageHandler(MessageBase + 4538);
            State().logMode = static_cast<short>(found + 1);

            const bool whole = ReadKeys(Reader::Extensions, basePath, root, patterns);

            if (State().logMode < 3) IniFile(IniWrite, L"Log Registry Loading", vb::Variant(0L));
            return whole;
        },
        false);
}

bool RegistryGetExplorerExtKeys(const std::wstring& basePath, HKEY root, const std::wstring& patterns) {
    return Trapped(
        L"RegistryGetExplorerExtKeys",
        [&] {
            ReadKeys(Reader::Explorer, basePath, root, patterns);
            return true;
        },
        false);
}

bool RegistryGetAssocKeys(const std::wstring& basePath, HKEY root) {
    bool result = false;
    TrappedVoid(L"RegistryGetAssocKeys", [&] {
        ModelState& state = State();
        if (state.logMode < 3) {
            IniFile(IniWrite, L"Log Registry Loading", vb::Variant(3L));
            state.logMode = 3;
        }
        MainMark(L"RGAK 1", 4);
        ScopedKey base;
        if (OpenForReading(root, basePath, base)) {
            state.assocSkipList = AssociationSkipList();
            RegKeyRecords& exts = state.extKeys;
            RegKeyRecords& assocs = state.assocKeys;
            if (exts.empty()) exts.resize(1);
            assocs.assign(1, RegKeyRecord{});
            assocs.reserve(exts.size());
            state.unreadAssociations.clear();
            // Names seen, compared as text; the exact spellings seen answer most look-ups at once.
            std::set<std::wstring, TextLess> seen;
            std::unordered_set<std::wstring> seenExactly;
            const std::wstring prefix = root == HKEY_LOCAL_MACHINE ? L"HKLM/" : L"HKCR/";

            for (size_t e = 1; e < exts.size(); ++e) {
                ShowStatus(3, std::to_wstring(e));
                bool hasTag = false;
                std::wstring name = AssociationNameOf(exts[e], hasTag);
                MainMark(name, 4);
                if (name.empty() || seenExactly.count(name) || seen.count(name)) continue;
                Mark(L"Log Registry Loading Detail", L"RGAK 2");
                ScopedKey key;
                if (!OpenForReading(base.Get(), name, key)) {
                    // A class that is there but denies reading is no missing class: it is noted,
                    // so that a snapshot records it as present.
                    if (LastRegResult() != ERROR_FILE_NOT_FOUND && LastRegResult() != ERROR_PATH_NOT_FOUND) {
                        seen.insert(name);
                        seenExactly.insert(name);
                        state.unreadAssociations.push_back(name);
                    }
                    continue;
                }

                seen.insert(name);
                seenExactly.insert(name);
                assocs.emplace_back();
                const long next = static_cast<long>(assocs.size()) - 1;
                assocs[next].KeyName = name;
                if (state.logMode == 4)
                    MainMark(L"AssocKey: " + name + L", ExtKey: " + prefix + exts[e].KeyName +
                                 L", ExtDefValue: " + UnnamedValueText(exts[e]),
                             4);
                KeyCounts counts;
                if (QueryKey(key.Get(), 40, counts)) {
                    ReadKeyValues(assocs[next], key.Get(), counts, L"RGAK ");
                    bool recursion = false;
                    std::wstring path = JoinPaths(basePath, name);
                    TrappedVoid(L"RegistryGetAssocSubkeys", [&] {
                        ReadSubkeys(Reader::Associations, assocs[next], path, root, key.Get(), &counts, recursion,
                                    false, 0);
                    });
                    if (recursion) {
                        AssociationMark(name);
                        ExtensionMark(L"Name: " + prefix + exts[e].KeyName + L", DefValue: " +
                                      UnnamedValueText(exts[e]));
                    }
                } else {
                    assocs[next].ValueIndex = -1;
                }
            }
            ShowStatus(3, L"");
        }
        IniFile(IniWrite, L"Log Registry Loading", vb::Variant(0L));
        result = true;
    });
    // The empty marks close this load's numbered lists, also after an error.
    RecursionMark(L"");
    AssociationMark(L"");
    ExtensionMark(L"");
    return result;
}

std::vector<long> Sort(const RegKeyRecords& records) {
    return Trapped(L"Sort", [&] {
        std::vector<std::wstring> keys(records.size());
        for (size_t i = 1; i < records.size(); ++i) keys[i] = records[i].KeyName;
        std::vector<long> order = SortedIndexes(keys, 1);
        if (order.empty()) order.push_back(0);
        return order;
    });
}

std::vector<long> SortExtKeys(const RegKeyRecords& records) {
    return Trapped(L"SortExtKeys", [&] {
        std::vector<std::wstring> keys(records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            bool hasTag = false;
            keys[i] = AssociationNameOf(records[i], hasTag);
        }
        std::vector<long> order = SortedIndexes(keys, 0);
        if (order.empty()) order.push_back(0);
        return order;
    });
}

void SortExtensions() {
    TrappedVoid(L"SortExtensions", [] {
        ShowStatus(2, L"Sorting Extensions", true);
        State().extByAssoc = SortExtKeys(State().extKeys);
        State().extByName = Sort(State().extKeys);
        ShowStatus(2, L"");
    });
}

void LoadRegistryExtensions() {
    State().extensionsWhole = false;
    TrappedVoid(L"LoadRegistryExtensions", [] {
        State().extKeys.assign(1, RegKeyRecord{});
        ShowStatus(2, L"Loading Registry Extension Keys", true);
        State().extensionsWhole = RegistryGetExtKeys(L"", HKEY_CLASSES_ROOT, L"[*]||.*");
        ShowStatus(2, L"");
        SortExtensions();
        // The sorts trap their own errors and then answer no order.
        if (State().extByName.size() != State().extKeys.size()) State().extensionsWhole = false;
    });
}

void LoadRegistryAssociations() {
    // Errors are ignored: each step runs whatever the one before it did.
    ProcGuard guard;
    auto step = [](auto&& body) {
        try {
            body();
        } catch (...) {
            vb::Err().Clear();
        }
    };
    ModelState& state = State();
    step([] { ShowStatus(2, L"Loading Registry Association Keys", true); });
    state.associationsWhole = false;
    step([&] { state.associationsWhole = RegistryGetAssocKeys(L"", HKEY_CLASSES_ROOT); });
    step([] { ShowStatus(2, L"Sorting Associations", true); });
    // A sort or a link that fails leaves the model unfit to stand for the registry.
    auto needed = [&](auto&& body) {
        try {
            body();
        } catch (...) {
            vb::Err().Clear();
            state.associationsWhole = false;
        }
    };
    needed([&] {
        state.assocByName = Sort(state.assocKeys);
        // The sort traps its own errors and then answers no order.
        if (state.assocByName.size() != state.assocKeys.size()) state.associationsWhole = false;
    });
    step([] { ShowStatus(2, L"Associating Extensions", true); });
    needed([&] { MatchDefAssocWithExt(state.extKeys, state.assocKeys, state.extByAssoc, state.assocByName); });
    step([] { ShowStatus(2, L""); });
}

void LoadExplorerFileExts() {
    TrappedVoid(L"LoadExplorerFileExts", [] {
        State().explorerExtKeys.assign(1, RegKeyRecord{});
        std::wstring version = ModelWindowsVersionName();
        if (!vb::TextEquals(version, L"Windows XP") && !vb::TextEquals(version, L"Windows ?? P2")) return;
        ShowStatus(2, L"Loading Explorer FileExts Keys", true);
        RegistryGetExplorerExtKeys(ExplorerFileExtsKey, HKEY_CURRENT_USER, L".*");
        ShowStatus(2, L"");
    });
}
