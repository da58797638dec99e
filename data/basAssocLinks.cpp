#include "basAssocLinks.h"

#include <climits>

#include "CheckpointSink.h"
#include "basErrorHandler.h"
#include "basIO.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basWinAPI_Registry.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

short g_tagLength = 0;

// Steps through a sorted order from position: up while the wanted name sorts after the name at
// the position, down while it sorts before, until it is found, an end is reached, or the walk
// turns back to where it was two steps before (the name lies between two neighbours). compare
// answers StrComp(wanted, name at position). Answers the last comparison.
template <class Compare>
int WalkOrder(long& position, long upper, Compare compare) {
    if (upper < 0) return 1;
    if (position < 0) position = 0;
    if (position > upper) position = upper;
    long oneBack = LONG_MIN, twoBack = LONG_MIN;
    for (;;) {
        int c = compare(position);
        if (c == 0) return 0;
        long next;
        if (c > 0) {
            if (position >= upper) return c;
            next = position + 1;
        } else {
            if (position < 1) return c;
            next = position - 1;
        }
        twoBack = oneBack;
        oneBack = position;
        position = next;
        if (position == twoBack) return c;
    }
}

// The key's own name with its backslash, from the first subkey path that has one.
std::wstring KeyPrefixOf(const std::vector<SubkeyRecord>& subkeys) {
    for (const SubkeyRecord& s : subkeys) {
        size_t slash = s.KeyName.find(L'\\');
        if (slash != std::wstring::npos) return s.KeyName.substr(0, slash + 1);
    }
    return {};
}

long FindPath(const std::vector<SubkeyRecord>& subkeys, const std::wstring& path) {
    for (size_t i = 0; i < subkeys.size(); ++i)
        if (vb::TextEquals(subkeys[i].KeyName, path)) return static_cast<long>(i);
    return -1;
}

std::wstring ServerOf(const std::wstring& keyPath) {
    return ValueDataText(Registry(regGet, keyPath, L"", vb::Variant(L""), std::nullopt, vb::Variant(L""),
                                  HKEY_CLASSES_ROOT, true, true));
}

bool IsYes(const vb::Variant& answer) {
    try {
        return answer.IsNumeric() && answer.ToLong() == AnswerYes;
    } catch (...) {
        vb::Err().Clear();
        return false;
    }
}

// A plain file of that path exists, as a listing of normal files would show it.
bool NormalFileExists(const std::wstring& path) {
    if (path.empty()) return false;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        if (!(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
            found = true;
            break;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

// Writes the unnamed value of an HKEY_CLASSES_ROOT key as given (an extension such as ".1" is
// never taken for one of the suite's numbered keys). A refused write ends the repair.
void WriteClassesValue(const std::wstring& keyPath, const std::wstring& value) {
    Registry(regSave, keyPath, L"", vb::Variant(L""), vb::Variant(value), std::nullopt, HKEY_CLASSES_ROOT, true,
             true);
    if (RegistryFailureCount() != 0)
        vb::Raise(70, std::nullopt,
                  L"The registry refused the change of HKEY_CLASSES_ROOT\\" + keyPath +
                      L". You may not have the rights to change file associations.");
}

}  // namespace

short TagLength() { return g_tagLength; }

std::wstring StripPreviewerDisableTag(const std::wstring& value, bool& hasTag) {
    hasTag = EndsWithPreviewerDisableTag(value);
    if (!hasTag) return value;
    return value.substr(0, value.size() - g_tagLength);
}

bool EndsWithPreviewerDisableTag(const std::wstring& value) {
    g_tagLength = static_cast<short>(std::wstring_view(PreviewerDisableTag).size());
    if (value.size() < static_cast<size_t>(g_tagLength)) return false;
    // Most values end in a plain letter other than the tag's last one.
    wchar_t last = value.back();
    if (last < 0x80 && last != L'g' && last != L'G') return false;
    return vb::TextEquals(std::wstring_view(value).substr(value.size() - g_tagLength), PreviewerDisableTag);
}

void MatchDefAssocWithExt(RegKeyRecords& extRecords, RegKeyRecords& assocRecords, const std::vector<long>& extByAssoc,
                          const std::vector<long>& assocByName) {
    ProcGuard guard;
    long position = 0;
    const long upper = static_cast<long>(assocByName.size()) - 1;
    for (size_t k = 1; k < extRecords.size() && k < extByAssoc.size(); ++k) {
        try {
            const long e = extByAssoc[k];
            if (e < 0 || static_cast<size_t>(e) >= extRecords.size()) continue;
            RegKeyRecord& ext = extRecords[e];
            if (ext.ValueIndex < 0) continue;  // no unnamed value
            bool hasTag = false;
            std::wstring name = AssociationNameOf(ext, hasTag);
            if (name.empty()) continue;
            int c = WalkOrder(position, upper, [&](long p) {
                long a = assocByName[p];
                const std::wstring& key = (a >= 0 && static_cast<size_t>(a) < assocRecords.size())
                                              ? assocRecords[a].KeyName
                                              : std::wstring();
                return vb::StrComp(name, key, vb::TextCompare);
            });
            if (c != 0) continue;
            const long a = assocByName[position];
            if (a < 1 || static_cast<size_t>(a) >= assocRecords.size()) continue;
            long source = 0;
            ext.CmdLine = GetCmdLineFromAssoc(assocRecords[a].Subkeys, source);
            if (hasTag) {
                ext.TaggedLink = a;
                assocRecords[a].TaggedLink = e;
            } else {
                ext.Link = a;
                assocRecords[a].Link = e;
            }
        } catch (...) {
            TrapError(L"MatchDefAssocWithExt");
        }
    }
}

std::wstring GetCmdLineFromAssoc(const std::vector<SubkeyRecord>& subkeys, long& source) {
    ProcGuard guard;
    std::wstring result;
    try {
        // An association key without subkeys has no command at all.
        std::wstring prefix = KeyPrefixOf(subkeys);
        if (prefix.empty()) {
            source = asNoCommand;
            return result;
        }
        std::wstring target = JoinPaths(prefix, L"shell\\open\\command");
        RestorerCheckpoint(L"TesselLFA: " + target);
        long found = FindPath(subkeys, target);
        if (found >= 0) {
            result = UnnamedValueText(subkeys[found]);
            if (!result.empty()) source = asOpenCommand;
            return result;
        }
        found = FindPath(subkeys, JoinPaths(prefix, L"CLSID"));
        if (found < 0) {
            source = asNoCommand;
            return result;
        }
        std::wstring classId = UnnamedValueText(subkeys[found]);
        static const wchar_t* const servers[] = {L"LocalServer32", L"InProcServer32", L"LocalServer", L"InProcServer"};
        static const wchar_t* const marks[] = {L"TesselLFA: 2: ", L"TesselLFA: 3: ", L"TesselLFA: 4: ",
                                               L"TesselLFA: 5: "};
        for (int i = 0; i < 4; ++i) {
            std::wstring keyPath = JoinPaths(L"CLSID", classId, {servers[i]});
            RestorerCheckpoint(marks[i] + keyPath);
            result = ServerOf(keyPath);
            if (!result.empty()) {
                source = asClassServer;
                break;
            }
        }
    } catch (...) {
        TrapError(L"GetCmdLineFromAssoc");
        source = asNoCommand;
    }
    return result;
}

long GetExtAssocIndex(const SubkeyRecord& extension, bool includeTagged) {
    if (extension.Link > 0) return extension.Link;
    if (includeTagged && extension.TaggedLink > 0) return extension.TaggedLink;
    return 0;
}

bool IsValidAssociation(const SubkeyRecord& extension, long& source) {
    ProcGuard guard;
    source = 0;
    try {
        long idx = GetExtAssocIndex(extension, true);
        if (idx == 0 || static_cast<size_t>(idx) >= AssocKeys().size()) {
            source = asNoAssociation;
            return false;
        }
        std::wstring cmd = GetCmdLineFromAssoc(AssocKeys()[idx].Subkeys, source);
        if (source == asNoCommand) return false;
        bool exists = false;
        if (!cmd.empty()) {
            ProgramPathRecord program = GetFileType(cmd);
            std::wstring path =
                JoinPaths(ValueDataText(program.PathRoot), ValueDataText(program.Folder),
                          {ValueDataText(program.FileName)});
            exists = NormalFileExists(path);
        }
        if (exists) {
            source = asValid;
            return true;
        }
        source += asMissingProgram;
    } catch (...) {
        TrapError(L"IsValidAssociation");
    }
    return false;
}

bool MakeExtensionAssociated(RegKeyRecord& extension) {
    return Trapped(
        L"MakeExtensionAssociated",
        [&] {
            long source = 0;
            if (IsValidAssociation(extension, source)) return false;
            std::wstring association;
            long idx = 0;
            bool unassigned = false;
            if (source & asNoAssociation) {
                if (!IsYes(MessageHandler(MessageBase + 5005))) return false;
                association = L"Unassigned";
                idx = FindKey(association, AssocKeys(), AssocByName(), 1);
                unassigned = true;
            } else if (source & asNoCommand) {
                if (!IsYes(MessageHandler(MessageBase + 5006))) return false;
                idx = GetExtAssocIndex(extension, true);
                if (idx <= 0 || static_cast<size_t>(idx) >= AssocKeys().size()) return false;
                association = AssocKeys()[idx].KeyName;
            } else {
                return false;
            }
            bool changed = false;
            // The open command: an empty one where the association has none (the write makes the keys).
            if (!(idx > 0 && static_cast<size_t>(idx) < AssocKeys().size() &&
                  FindSubkey(AssocKeys()[idx].Subkeys, L"shell\\open\\command") >= 0)) {
                WriteClassesValue(JoinPaths(association, L"shell\\open\\command"), L"");
                changed = true;
            }
            if (unassigned) {
                WriteClassesValue(extension.KeyName, association);
                changed = true;
            }
            return changed;
        },
        false);
}

long FindSubkey(const std::vector<SubkeyRecord>& subkeys, const std::wstring& name) {
    if (subkeys.empty()) return -1;
    size_t slash = subkeys[0].KeyName.find(L'\\');
    std::wstring prefix = slash == std::wstring::npos ? std::wstring() : subkeys[0].KeyName.substr(0, slash + 1);
    if (prefix.empty()) prefix = KeyPrefixOf(subkeys);
    return FindPath(subkeys, JoinPaths(prefix, name));
}

long FindKey(const std::wstring& name, const RegKeyRecords& records, const std::vector<long>& order, long start) {
    return Trapped(
        L"FindKey",
        [&]() -> long {
            for (size_t p = static_cast<size_t>(start < 0 ? 0 : start); p < order.size(); ++p) {
                long r = order[p];
                if (r < 0 || static_cast<size_t>(r) >= records.size()) continue;
                int c = vb::StrComp(records[r].KeyName, name, vb::TextCompare);
                if (c == 0) return r;
                if (c > 0) return -1;
            }
            return -1;
        },
        -1L);
}

int IsExt(const RegKeyRecords& records, const std::vector<long>& order, long& position, const std::wstring& ext) {
    return Trapped(
        L"IsExt",
        [&]() -> int {
            std::wstring wanted = vb::StartsWith(ext, L".", vb::TextCompare) ? ext.substr(1) : ext;
            const long upper = static_cast<long>(order.size()) - 1;
            return WalkOrder(position, upper, [&](long p) {
                long r = order[p];
                std::wstring key;
                if (r >= 0 && static_cast<size_t>(r) < records.size() && !records[r].KeyName.empty())
                    key = records[r].KeyName.substr(1);
                return vb::StrComp(wanted, key, vb::TextCompare);
            });
        },
        1);
}

long AddExtensionListItem(ExtensionListView& list, const SubkeyRecord& extension, long index) {
    long row = -1;
    try {
        std::wstring description;
        long idx = GetExtAssocIndex(extension, true);
        if (idx > 0 && static_cast<size_t>(idx) < AssocKeys().size()) description = UnnamedValueText(AssocKeys()[idx]);
        if (description.empty()) description = UnnamedValueText(extension);
        row = list.AddExtensionRow(L"k" + std::to_wstring(index), extension.KeyName);
        bool hasTag = false;
        list.SetRowSubItem(row, 1, StripPreviewerDisableTag(description, hasTag));
        list.SetRowTag(row, index);
    } catch (...) {
        vb::Err().Clear();
    }
    return row;
}
