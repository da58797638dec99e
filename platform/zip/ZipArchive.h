// The password-protected data archive: standard ZIP files, deflate through zlib and the
// traditional PKWARE encryption, so ordinary zip tools open them with the password.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zip {

enum class ZipResult : int {
    Ok = 0,
    CannotOpen,     // the archive is missing or cannot be read
    NotZip,         // no end-of-central-directory record: not a ZIP file, or truncated
    Damaged,        // inconsistent headers, truncated member data, bad deflate stream
    BadPassword,    // the encryption header's check byte does not match
    CrcMismatch,    // a member's data does not match its CRC-32
    Unsupported,    // a method other than stored or deflated, strong encryption, ZIP64, ...
    UnsafeName,     // a member name with a folder, a drive, ".." or an empty name
    NoFiles,        // nothing to pack: an archive with no members is never written
    ReadFailed,     // a file to pack could not be read
    WriteFailed,    // the new archive or an unpacked member could not be written
};

// A short English text for a result, for logs and messages.
const wchar_t* ZipResultText(ZipResult result);

// Packs the files under their bare names (no folders), deflated, each encrypted with the
// password (an empty password: no encryption), keeping each file's modification time.
// The archive is written to a new file beside archivePath (its name + ".new") and then put in
// its place in one step, so a failure at any point leaves the old archive whole. No files:
// NoFiles, nothing written.
ZipResult PackFiles(const std::wstring& archivePath, const std::vector<std::wstring>& filePaths,
                    const std::string& password);

// PackFiles at the cost of what changed. For each file one decision is taken from the stamps
// alone, before anything of the file is read: its member is copied as it is stored, copied
// under the file's new time, or compressed afresh from the file, read right then. Stored bytes
// stand for a file only while the archive is still the one this process unpacked or wrote
// (same size, last-write time and CRC-32 of its bytes), the member opens with the password, and
// this process knows the file holds the member's very contents (it unpacked, read, wrote or
// packed it at its present size and time, and nobody called NoteFileChanged for it since). A
// member with a data descriptor (another tool's) is copied only under its own time, the source
// of its check byte. keepOthers: the existing members that no file replaces are copied as they
// are stored, whatever their password (otherwise they are left out, as with PackFiles). When
// no member would change, nothing is written. An archive that is missing or cannot be read is
// written afresh. copied (optional) receives the number of members copied.
ZipResult UpdateFiles(const std::wstring& archivePath, const std::vector<std::wstring>& filePaths,
                      const std::string& password, bool keepOthers = false, size_t* copied = nullptr);

// Tells the archive layer that the program has just written the file: what it knew of the
// file's contents no longer holds, even when the file's size and time stamp did not change
// (two writes within one tick of a coarse clock).
void NoteFileChanged(const std::wstring& path);

// Tells the archive layer that the program has just put the file in place and that it holds
// bytes of this CRC-32: an update may then leave it unread while it keeps its present size and
// time, and an unchanged file need not be written again (FileKnownToHold).
void NoteFileWritten(const std::wstring& path, uint32_t crc);

// Whether the file, at its present size and time, holds bytes of this size and CRC-32 as far as
// this process knows: it unpacked, read, wrote or packed the file at that size and time.
bool FileKnownToHold(const std::wstring& path, uint64_t size, uint32_t crc);

// Unpacks every member into folder (which must exist), restoring each member's
// modification time. Every member is decrypted, inflated and CRC-checked into a temporary file
// of its own before any member takes its place, so a bad archive leaves the folder as it was
// (its temporary files removed); a write failure midway removes what this call wrote and puts
// back the files it had replaced. written (optional) receives the full paths of the files written.
ZipResult UnpackFiles(const std::wstring& archivePath, const std::wstring& folder,
                      const std::string& password, std::vector<std::wstring>* written = nullptr);

// One member's plain contents, read into memory.
struct MemberData {
    std::wstring name;
    std::vector<uint8_t> data;
};

// Reads only the members named in wanted (matched case aside) into memory, each decrypted,
// inflated and CRC-checked; a wanted name the archive lacks is simply not in read. The other
// members are neither decrypted nor inflated. Nothing is written anywhere. names (optional)
// receives the names of every member. On any result but Ok, read is empty.
ZipResult ReadMembers(const std::wstring& archivePath, const std::string& password,
                      const std::vector<std::wstring>& wanted, std::vector<MemberData>& read,
                      std::vector<std::wstring>* names = nullptr);

}  // namespace zip
