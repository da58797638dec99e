// The association snapshot "TesselAsscSS.xml": every extension key of the registry model and
// every association key one of them links to, with their values and subkeys, written through
// the XML document object and read back into the snapshot arrays. Also the restorer's
// checkpoint trail in the settings file, by which a run that died half way can be traced.
#pragma once
#include <windows.h>
#include <msxml2.h>

#include <functional>
#include <string>
#include <vector>

#include "CheckpointSink.h"
#include "com/ComModule.h"
#include "basRegistryModel.h"

// The snapshot side of the comparison: records from index 1, element 0 empty; the orders as
// the registry model's Sort and SortExtKeys give them.
RegKeyRecords& SnapshotExtKeys();
RegKeyRecords& SnapshotAssocKeys();
std::vector<long>& SnapshotExtOrder();
std::vector<long>& SnapshotExtTagOrder();
std::vector<long>& SnapshotAssocOrder();
// Whether the last read of the snapshot file succeeded. After a failed read the snapshot
// arrays are empty and the comparison must not take that for "every extension added".
bool SnapshotRead();
// Whether the snapshot read carries the mark of this version's writer, which takes it of the
// registry as it stands. A file without it (kept from an earlier install) may lack keys that
// were there, so it proves no key new.
bool SnapshotLive();

// The restorer's logging level, taken from "Log Snapshot" when its window opens; above 0 the
// detailed checkpoints are written.
short& SnapshotLogLevel();

// "Key" := text while the logging level is above 0.
void RestorerKey2Ini(const std::wstring& text);
// "Detail" := text while the logging level is 1 or more, or when forced.
void RestorerDetail2Ini(const std::wstring& text, bool force = false);
// "Scanning Progress" := text, always.
void SetProgressCheckpoint(const std::wstring& text);

// The restorer's checkpoint sink of the common library: GetFileType, GetDosPath and the model's
// readers leave their texts through it whether or not the window is loaded.
CheckpointSink& RestorerCheckpoints();
// Installs it (the library does this when it starts).
void InstallRestorerCheckpoints();

// Attribute escaping of the file (mode 12 of CvtForXmlParser) and the data text of a value:
// bytes as the characters of their ANSI codes, numbers in decimal, text as it is.
std::wstring SnapshotDataText(const vb::Variant& data);
// The inverse of the byte encoding: one byte per character, cut or filled with zeros to length.
vb::Variant::Bytes SnapshotTextToBytes(const std::wstring& text, size_t length);

// Thrown on by the writer's routines after they reported their own error; the writer turns it
// into SnapshotNotSaved.
struct SnapshotErrorReported {};

// The one failure of the writer: it kept the old snapshot (file and arrays) instead of saving a
// new one; why says the reason in the user's words.
struct SnapshotNotSaved {
    std::wstring why;
};

// Whether a class can stand in the snapshot as an association of its own: a plain name, with no
// path below another key and not one of the big system keys the registry model passes over.
// "*" is one (the restore never writes or deletes it).
bool IsSnapshotAssociationName(const std::wstring& name);
// Whether a key can stand in the snapshot as an extension: "*", or "." and anything after it
// with no path below another key. The writer leaves out what the reader would refuse.
bool IsSnapshotExtensionName(const std::wstring& name);

// The title of the restorer's own messages.
inline constexpr const wchar_t* RestorerMessageTitle = L"Association Restorer";
// What the user is told when the snapshot file at path cannot be read, and why.
std::wstring SnapshotUnreadableText(const std::wstring& path, const std::wstring& why);
// What the user is told when no new snapshot was saved.
std::wstring SnapshotNotSavedText(const std::wstring& why);
// What the user is told when the registry could not be compared with the snapshot.
std::wstring NotComparedText(const std::wstring& why);
// What the user is told when the snapshot at path is not one of this version's.
std::wstring SnapshotNotLiveText(const std::wstring& path);

// Creates an element of that name (namespace as given, normally empty) in the parent's
// document, appends it and answers it; the attribute is set only when its escaped value is
// not empty.
com::ComPtr<IXMLDOMElement> AppendNode(IXMLDOMNode* parent, const std::wstring& elementName,
                                       const std::wstring& attributeValue, const std::wstring& attributeName,
                                       const std::wstring& nameSpace = L"");
// Writes the values of one key or subkey into its element; false (nothing written) when it has none.
bool AppendRegValues(IXMLDOMNode* keyElement, const std::vector<RegValueRecord>& values);

// Builds the snapshot document of the extension records (in order, positions 1..n), the
// association records they link to, and the classes they name that are there but could not be
// read (recorded as there, "Unread"), marks it as taken live, and saves it to a new file beside
// path. That file is read back whole into a state of its own; only once it has replaced the old
// file does that state become the snapshot arrays, so a file that would be refused never takes
// the place of a good one. tick(p) runs after each extension of either pass. Every failure
// throws SnapshotNotSaved; the old file and the snapshot arrays are then as they were.
void WriteAssocSnapshot(const std::wstring& path, const RegKeyRecords& extKeys, const RegKeyRecords& assocKeys,
                        const std::vector<long>& extOrder, const std::function<void(long position)>& tick = {},
                        const std::vector<std::wstring>& unreadClasses = UnreadAssociations());

// Reads the snapshot file into the snapshot arrays, sorts and links them. The arrays are
// emptied first. A file that does not load, or is damaged, is told to the user as a snapshot
// that cannot be read (SnapshotUnreadableText) and answers false; failure (when given)
// receives the reason instead of a box.
bool GetAssocSnapshot(const std::wstring& path, std::wstring* failure = nullptr);

// The values held by one key or subkey element: a "Values" child's elements, or its own
// "Value" children. defaultIndex -1 when none is the unnamed value.
void GetSnapshotKeyValues(IXMLDOMNode* keyElement, long& defaultIndex, std::vector<RegValueRecord>& values);
// The subkeys of record index of the extension / association snapshot array, from its element.
void GetExtSnapshotSubkeys(long index, IXMLDOMNode* keyElement);
void GetAssocSnapshotSubkeys(long index, IXMLDOMNode* keyElement);

// Back to the state of a freshly loaded library. For tests.
void ResetSnapshotState();
