// Links between the extension records and the association records of the registry model,
// the command line behind an extension, the repair of an extension without a usable
// association, look-ups in the sorted orders, and the previewer-disable tag that the
// previewer window appends to a registry value and that every reader of an association name
// cuts off again.
#pragma once
#include <string>
#include <vector>

#include "NeighbourServices.h"
#include "basRegistryModel.h"

inline constexpr const wchar_t* PreviewerDisableTag = L"--LumoxPreviewerDisableTag";

// Where a command line came from (AssocSource).
enum AssocSource : long {
    asNoAssociation = 1,    // the extension has no linked association
    asOpenCommand = 2,      // the association's shell\open\command key
    asClassServer = 16,     // the server key of the association's CLSID
    asNoCommand = 128,      // neither was found
    asMissingProgram = 256, // added: a command line was found, its program file does not exist
    asValid = 512,          // a command line was found and its program file exists
};

// Length of the tag as last tested.
short TagLength();

// value without the tag at its end (compared without regard to case); hasTag tells whether it
// was there. A value without the tag comes back unchanged.
std::wstring StripPreviewerDisableTag(const std::wstring& value, bool& hasTag);
// Whether value ends with the tag, and nothing else.
bool EndsWithPreviewerDisableTag(const std::wstring& value);

// Sets Link, TaggedLink and CmdLine of the extension records and the links of the
// association records they name.
void MatchDefAssocWithExt(RegKeyRecords& extRecords, RegKeyRecords& assocRecords, const std::vector<long>& extByAssoc,
                          const std::vector<long>& assocByName);

// The command line that opening a file of the association would run; "" when none. source
// receives where it came from (unchanged when the class's server keys are all empty).
std::wstring GetCmdLineFromAssoc(const std::vector<SubkeyRecord>& subkeys, long& source);

// The association index of an extension record, or 0.
long GetExtAssocIndex(const SubkeyRecord& extension, bool includeTagged);

// Whether the extension's association opens an existing program; source receives the
// AssocSource flags that tell why not.
bool IsValidAssociation(const SubkeyRecord& extension, long& source);

// Repairs an extension without a usable association after asking the user. True when the
// registry was changed; a write the registry refused is reported and answers False.
bool MakeExtensionAssociated(RegKeyRecord& extension);

// Index of the subkey record whose path is the key's name joined with name; -1 when absent.
long FindSubkey(const std::vector<SubkeyRecord>& subkeys, const std::wstring& name);

// Index of the key record named name, by a scan of the sorted order from start; -1 when absent.
long FindKey(const std::wstring& name, const RegKeyRecords& records, const std::vector<long>& order, long start = 0);

// Walks the records' order by name from position towards ext (a leading "." dropped), comparing
// it with each name less its first character. 0 when found (position points at it), else the
// last comparison (-1 or 1); position is left where the walk stopped.
int IsExt(const RegKeyRecords& records, const std::vector<long>& order, long& position, const std::wstring& ext);

// Adds the extension record as a row: key "k" & index, its name, the description in
// sub-item 1 and index as the tag. Answers the row (-1 when nothing was added).
long AddExtensionListItem(ExtensionListView& list, const SubkeyRecord& extension, long index);
