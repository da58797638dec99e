#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>

#include <zlib.h>

#include "vb/VbText.h"
#include "zip/ZipArchive.h"
#include "zip/ZipFiles.h"
#include "zip/ZipFormat.h"
#include "zip/ZipLedger.h"
#include "zip/ZipReader.h"

namespace zip {

using namespace zip::format;

namespace {

constexpr uint16_t kVersionMadeBy = 20;  // MS-DOS attributes, ZIP 2.0
constexpr uint16_t kVersionNeeded = 20;  // deflate and traditional encryption
constexpr uint32_t kArchiveAttribute = FILE_ATTRIBUTE_ARCHIVE;

struct Written {
    std::string name;
    uint16_t flags = 0;
    uint16_t method = kMethodDeflated;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint32_t packedSize = 0;
    uint32_t size = 0;
    uint32_t localOffset = 0;
    bool hasUnixTime = false;
    uint32_t unixTime = 0;
};

// Raw deflate, set up on first use: an update that compresses nothing never pays for it.
class Deflater {
public:
    Deflater() = default;
    ~Deflater() {
        if (ok_) deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Appends the raw deflate of in to out, behind room for the encryption header; answers
    // where the member's stored bytes begin in out.
    bool Deflate(const std::vector<uint8_t>& in, size_t room, std::vector<uint8_t>& out, size_t& at) {
        if (!ok_)
            ok_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        if (!ok_ || deflateReset(&stream_) != Z_OK) return false;
        at = out.size();
        out.resize(at + room + deflateBound(&stream_, static_cast<uLong>(in.size())));
        uint8_t spare = 0;
        stream_.next_in = in.empty() ? &spare : const_cast<Bytef*>(in.data());
        stream_.avail_in = static_cast<uInt>(in.size());
        stream_.next_out = out.data() + at + room;
        stream_.avail_out = static_cast<uInt>(out.size() - at - room);
        if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) return false;
        out.resize(at + room + stream_.total_out);
        return true;
    }

private:
    z_stream stream_{};
    bool ok_ = false;
};

void PutTimestampExtra(std::string& out, const Written& w) {
    if (!w.hasUnixTime) return;
    Put16(out, kExtraTimestamp);
    Put16(out, 5);
    out.push_back(1);  // the modification time only
    Put32(out, w.unixTime);
}

// A member with a data descriptor (copied from an archive of another tool) keeps it: its
// sizes and CRC follow the data, and the local header holds zeros in their place.
bool HasDescriptor(const Written& w) { return (w.flags & kFlagDataDescriptor) != 0; }

std::string LocalHeader(const Written& w) {
    std::string h;
    Put32(h, kLocalHeaderSig);
    Put16(h, kVersionNeeded);
    Put16(h, w.flags);
    Put16(h, w.method);
    Put16(h, w.dosTime);
    Put16(h, w.dosDate);
    Put32(h, HasDescriptor(w) ? 0 : w.crc);
    Put32(h, HasDescriptor(w) ? 0 : w.packedSize);
    Put32(h, HasDescriptor(w) ? 0 : w.size);
    Put16(h, static_cast<uint16_t>(w.name.size()));
    Put16(h, w.hasUnixTime ? 9 : 0);
    h += w.name;
    PutTimestampExtra(h, w);
    return h;
}

std::string CentralHeader(const Written& w) {
    std::string h;
    Put32(h, kCentralHeaderSig);
    Put16(h, kVersionMadeBy);
    Put16(h, kVersionNeeded);
    Put16(h, w.flags);
    Put16(h, w.method);
    Put16(h, w.dosTime);
    Put16(h, w.dosDate);
    Put32(h, w.crc);
    Put32(h, w.packedSize);
    Put32(h, w.size);
    Put16(h, static_cast<uint16_t>(w.name.size()));
    Put16(h, w.hasUnixTime ? 9 : 0);
    Put16(h, 0);  // comment
    Put16(h, 0);  // disk
    Put16(h, 0);  // internal attributes
    Put32(h, kArchiveAttribute);
    Put32(h, w.localOffset);
    h += w.name;
    PutTimestampExtra(h, w);
    return h;
}

std::string DataDescriptor(const Written& w) {
    std::string d;
    Put32(d, kDataDescriptorSig);
    Put32(d, w.crc);
    Put32(d, w.packedSize);
    Put32(d, w.size);
    return d;
}

// Writes members one after the other into the open new archive, then its directory.
class ArchiveWriter {
public:
    explicit ArchiveWriter(HANDLE out) : out_(out) {}

    // The size of everything added so far; the CRC-32 of the whole archive once it is finished.
    uint64_t Size() const { return offset_; }
    uint32_t Crc() const { return crc_; }

    ZipResult Add(Written w, const uint8_t* data, size_t size) {
        if (size > 0xfffffffeull || offset_ > 0xfffffffeull || written_.size() >= 0xfffe)
            return ZipResult::Unsupported;
        w.packedSize = static_cast<uint32_t>(size);
        w.localOffset = static_cast<uint32_t>(offset_);
        std::string header = LocalHeader(w);
        std::string trailer = HasDescriptor(w) ? DataDescriptor(w) : std::string();
        if (!Write(header.data(), header.size()) || !Write(data, size) || !Write(trailer.data(), trailer.size()))
            return ZipResult::WriteFailed;
        written_.push_back(std::move(w));
        return ZipResult::Ok;
    }

    ZipResult Finish() {
        std::string directory;
        for (const auto& w : written_) directory += CentralHeader(w);
        if (offset_ + directory.size() > 0xfffffffeull) return ZipResult::Unsupported;
        std::string end;
        Put32(end, kEndRecordSig);
        Put16(end, 0);
        Put16(end, 0);
        Put16(end, static_cast<uint16_t>(written_.size()));
        Put16(end, static_cast<uint16_t>(written_.size()));
        Put32(end, static_cast<uint32_t>(directory.size()));
        Put32(end, static_cast<uint32_t>(offset_));
        Put16(end, 0);  // comment
        directory += end;
        if (!Write(directory.data(), directory.size())) return ZipResult::WriteFailed;
        // One write of the whole archive: each write is a trip through the system.
        const std::vector<uint8_t>& bytes = pending_.bytes;
        if (!files::WriteAll(out_, bytes.data(), bytes.size())) return ZipResult::WriteFailed;
        crc_ = static_cast<uint32_t>(crc32_z(0, bytes.data(), bytes.size()));
        return ZipResult::Ok;
    }

private:
    bool Write(const void* data, size_t size) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        pending_.bytes.insert(pending_.bytes.end(), p, p + size);
        offset_ += size;
        return true;
    }

    HANDLE out_;
    detail::ScratchBuffer pending_;  // the archive as written so far, written out by Finish
    uint64_t offset_ = 0;
    uint32_t crc_ = 0;
    std::vector<Written> written_;
};

// The archive that an update starts from: its bytes and its members as they lie there.
struct OldArchive {
    detail::ScratchBuffer buffer;
    std::vector<detail::StoredMember> members;
    std::vector<bool> used;
    // Still the very bytes that this process checked by unpacking them, or wrote itself: only
    // then may stored bytes be carried into the new archive unopened. Bytes changed behind our
    // back (a storage fault, a tool putting back another copy) could hide damage that copying
    // would carry forward.
    bool bytesVerified = false;

    void Read(const std::wstring& path) {
        detail::FileStamp stamp;
        if (files::ReadWholeFile(path, 0xffffffffull, buffer.bytes, &stamp.lastWrite) != files::ReadStatus::Ok ||
            detail::ReadStoredMembers(buffer.bytes, members) != ZipResult::Ok) {
            members.clear();
        } else {
            stamp.size = buffer.bytes.size();
            stamp.crc = static_cast<uint32_t>(crc32_z(0, buffer.bytes.data(), buffer.bytes.size()));
            bytesVerified = detail::KnowsArchive(stamp);
        }
        used.assign(members.size(), false);
    }
    const detail::StoredMember* Find(const std::wstring& name, size_t& index) const {
        for (index = 0; index < members.size(); ++index)
            if (vb::TextEquals(members[index].name, name)) return &members[index];
        return nullptr;
    }
    const uint8_t* Data(const detail::StoredMember& m) const { return buffer.bytes.data() + m.dataStart; }

    // Whether the member may stand for a file of the same contents: the archive's bytes are
    // verified, and the member is encrypted as the password asks and its check byte accepts
    // the password.
    bool CanStandFor(const detail::StoredMember& m, const std::string& password) const {
        if (!bytesVerified) return false;
        const bool encrypted = (m.flags & kFlagEncrypted) != 0;
        if (encrypted != !password.empty()) return false;
        if (!encrypted) return true;
        if (m.packedSize < kCryptHeaderSize) return false;
        uint8_t header[kCryptHeaderSize];
        memcpy(header, Data(m), kCryptHeaderSize);
        Cipher cipher(password);
        cipher.Decrypt(header, kCryptHeaderSize);
        return CheckByteMatches(header[kCryptHeaderSize - 1], m.crc, (m.flags & kFlagDataDescriptor) != 0,
                                m.localDosTime);
    }
};

// A working file as it lies on disk before the update reads anything of it: its size and time,
// and, when contentsKnown, the CRC-32 of its bytes as this process last read, wrote or unpacked
// them at this very size and time.
struct FileOnDisk {
    detail::FileStamp stamp;
    bool contentsKnown = false;

    void Look(const std::wstring& path) {
        uint32_t crc = 0;
        contentsKnown = files::SizeAndTime(path, stamp.size, stamp.lastWrite) &&
                        detail::KnownFileCrc(path, stamp.size, stamp.lastWrite, crc);
        stamp.crc = contentsKnown ? crc : 0;
    }
};

// A stored member copied as it lies, with its own times; a data descriptor stays, and with it
// the local header's time, the source of its check byte.
Written AsStored(const detail::StoredMember& m) {
    Written w;
    w.name = EncodeMemberName(m.name, w.flags);
    w.flags |= m.flags & (kFlagEncrypted | kFlagDataDescriptor);
    w.method = m.method;
    w.dosTime = (m.flags & kFlagDataDescriptor) ? m.localDosTime : m.dosTime;
    w.dosDate = m.dosDate;
    w.crc = m.crc;
    w.size = m.size;
    w.hasUnixTime = m.hasUnixTime;
    w.unixTime = m.unixTime;
    return w;
}

// The headers of a member for a file of this stamp: its name, time, size and CRC.
Written ForFile(const std::wstring& name, const detail::FileStamp& file) {
    Written w;
    w.name = EncodeMemberName(name, w.flags);
    FileTimeToDos(file.lastWrite, w.dosDate, w.dosTime);
    w.hasUnixTime = FileTimeToUnix(file.lastWrite, w.unixTime);
    w.crc = file.crc;
    w.size = static_cast<uint32_t>(file.size);
    return w;
}

// Whether a member for a file of this time would record the time the stored member has.
bool MemberTimeIsFileTime(const FILETIME& lastWrite, const detail::StoredMember& m) {
    uint16_t dosDate = 0, dosTime = 0;
    uint32_t unixTime = 0;
    FileTimeToDos(lastWrite, dosDate, dosTime);
    if (FileTimeToUnix(lastWrite, unixTime) && m.hasUnixTime) return unixTime == m.unixTime;
    return dosDate == m.dosDate && dosTime == m.dosTime;
}

// What the new archive's member for one file is made of.
enum class MemberSource {
    CopyAsStored,      // the old member, bytes and headers, as it lies
    CopyWithFileTime,  // the old member's bytes under the file's new time
    Compress,          // the file, read now and compressed afresh
};

// The one decision per file, taken from the stamps alone before anything of the file is read.
// Stored bytes stand for a file only when the archive's bytes are verified, the member opens
// with the password, and this process knows the file holds exactly the member's contents. A
// new time alone is a change too (the program list's time is the date of its scan); a member
// with a data descriptor cannot take a new time, since its check byte comes from its own time,
// so such a file is compressed afresh.
MemberSource DecideMember(const OldArchive& old, const detail::StoredMember* member, const std::string& password,
                          const FileOnDisk& file) {
    if (!member || !old.CanStandFor(*member, password)) return MemberSource::Compress;
    if (!file.contentsKnown || file.stamp.crc != member->crc || file.stamp.size != member->size)
        return MemberSource::Compress;
    if (MemberTimeIsFileTime(file.stamp.lastWrite, *member)) return MemberSource::CopyAsStored;
    if (member->flags & kFlagDataDescriptor) return MemberSource::Compress;
    return MemberSource::CopyWithFileTime;
}

// One member of the new archive: its headers, and where its stored bytes come from (the old
// archive, or the freshly compressed ones).
struct Planned {
    Written w;
    const detail::StoredMember* from = nullptr;
    size_t packedAt = 0;
    size_t packedSize = 0;
};

// Reads the file whole and compresses (and encrypts) what was read into packed; w then holds
// the headers of what was read: its time, size and CRC.
ZipResult CompressFile(const std::wstring& path, const std::wstring& name, const std::string& password,
                       const uint8_t* random, Deflater& deflater, std::vector<uint8_t>& plain, Planned& p,
                       std::vector<uint8_t>& packed) {
    detail::FileStamp read;
    switch (files::ReadWholeFile(path, 0xfffffffeull, plain, &read.lastWrite)) {
        case files::ReadStatus::Ok:
            break;
        case files::ReadStatus::TooLarge:
            return ZipResult::Unsupported;  // would need ZIP64
        default:
            return ZipResult::ReadFailed;
    }
    read.size = plain.size();
    read.crc = static_cast<uint32_t>(crc32_z(0, plain.data(), plain.size()));
    detail::RememberFile(path, read);
    p.w = ForFile(name, read);
    const bool encrypt = !password.empty();
    const size_t room = encrypt ? kCryptHeaderSize : 0;
    if (!deflater.Deflate(plain, room, packed, p.packedAt)) return ZipResult::WriteFailed;
    p.packedSize = packed.size() - p.packedAt;
    if (encrypt) {
        // Eleven random bytes and the CRC's high byte, by which a reader checks the password.
        p.w.flags |= kFlagEncrypted;
        uint8_t* stored = packed.data() + p.packedAt;
        memcpy(stored, random, kCryptHeaderSize - 1);
        stored[kCryptHeaderSize - 1] = static_cast<uint8_t>(p.w.crc >> 24);
        Cipher cipher(password);
        cipher.Encrypt(stored, p.packedSize);
    }
    return ZipResult::Ok;
}

// Decides every member of the new archive (DecideMember), then reads and compresses exactly
// the files it decided to compress. keepOthers: the old members that no file replaces follow
// as they are stored, whatever their password or form, since this is their only copy.
// changed: false when the new archive would hold the old one's members unchanged.
ZipResult PlanArchive(const std::vector<std::wstring>& filePaths, const std::vector<std::wstring>& names,
                      const std::string& password, OldArchive& old, bool keepOthers, std::vector<Planned>& plan,
                      std::vector<uint8_t>& packed, bool& changed) {
    std::vector<uint8_t> random(filePaths.size() * kCryptHeaderSize);
    if (!password.empty() && !files::RandomBytes(random.data(), random.size())) return ZipResult::WriteFailed;

    detail::ScratchBuffer plainBuffer;
    Deflater deflater;
    changed = !old.bytesVerified;
    for (size_t i = 0; i < filePaths.size(); ++i) {
        size_t index = 0;
        const detail::StoredMember* member = old.Find(names[i], index);
        if (member) old.used[index] = true;
        FileOnDisk file;
        file.Look(filePaths[i]);

        Planned p;
        switch (DecideMember(old, member, password, file)) {
            case MemberSource::CopyAsStored:
                p.w = AsStored(*member);
                p.from = member;
                break;
            case MemberSource::CopyWithFileTime:
                p.w = ForFile(names[i], file.stamp);
                p.w.flags |= member->flags & kFlagEncrypted;
                p.w.method = member->method;
                p.from = member;
                changed = true;
                break;
            case MemberSource::Compress:
                if (ZipResult r = CompressFile(filePaths[i], names[i], password, random.data() + i * kCryptHeaderSize,
                                               deflater, plainBuffer.bytes, p, packed);
                    r != ZipResult::Ok)
                    return r;
                changed = true;
                break;
        }
        plan.push_back(std::move(p));
    }

    for (size_t k = 0; k < old.members.size(); ++k) {
        if (old.used[k]) continue;
        if (!keepOthers) {
            changed = true;
            continue;
        }
        Planned p;
        p.w = AsStored(old.members[k]);
        p.from = &old.members[k];
        plan.push_back(std::move(p));
    }
    return ZipResult::Ok;
}

// Writes the planned members into the open new archive, then its directory.
ZipResult WriteArchive(ArchiveWriter& writer, std::vector<Planned>& plan, const OldArchive& old,
                       const std::vector<uint8_t>& packed) {
    for (Planned& p : plan) {
        const uint8_t* data = p.from ? old.Data(*p.from) : packed.data() + p.packedAt;
        const size_t size = p.from ? p.from->packedSize : p.packedSize;
        if (ZipResult r = writer.Add(std::move(p.w), data, size); r != ZipResult::Ok) return r;
    }
    return writer.Finish();
}

// The members' names: each a safe, bare file name, none twice.
ZipResult MemberNames(const std::vector<std::wstring>& filePaths, std::vector<std::wstring>& names) {
    if (filePaths.empty()) return ZipResult::NoFiles;
    if (filePaths.size() > 0xfffe) return ZipResult::Unsupported;
    std::set<std::wstring> seen;
    for (const auto& path : filePaths) {
        std::wstring name = files::NameOf(path);
        if (!IsSafeMemberName(name) || !seen.insert(vb::UCase(name)).second) return ZipResult::UnsafeName;
        names.push_back(std::move(name));
    }
    return ZipResult::Ok;
}

// Writes the archive to a new file beside it, put in its place only when it is complete. The
// new file has a fixed name, so one that a crash left behind is reused by the next write. When
// no member would change, nothing is written: the archive keeps its bytes and its time.
ZipResult WriteBesideAndReplace(const std::wstring& archivePath, const std::vector<std::wstring>& filePaths,
                                const std::string& password, OldArchive& old, bool keepOthers, size_t* copied) {
    std::vector<std::wstring> names;
    if (ZipResult r = MemberNames(filePaths, names); r != ZipResult::Ok) return r;
    std::vector<Planned> plan;
    detail::ScratchBuffer packed;
    bool changed = true;
    if (ZipResult r = PlanArchive(filePaths, names, password, old, keepOthers, plan, packed.bytes, changed);
        r != ZipResult::Ok)
        return r;
    if (copied)
        *copied = static_cast<size_t>(std::count_if(plan.begin(), plan.end(), [](const Planned& p) { return p.from; }));
    if (!changed) return ZipResult::Ok;

    const std::wstring temp = archivePath + L".new";
    files::FileHandle out(
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) return ZipResult::WriteFailed;
    ArchiveWriter writer(out.get());
    ZipResult result = WriteArchive(writer, plan, old, packed.bytes);
    if (result == ZipResult::Ok && !FlushFileBuffers(out.get())) result = ZipResult::WriteFailed;
    if (!out.Close() && result == ZipResult::Ok) result = ZipResult::WriteFailed;
    if (result == ZipResult::Ok &&
        !MoveFileExW(temp.c_str(), archivePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        result = ZipResult::WriteFailed;
    if (result != ZipResult::Ok) {
        DeleteFileW(temp.c_str());
        return result;
    }
    detail::FileStamp stamp;
    if (files::SizeAndTime(archivePath, stamp.size, stamp.lastWrite) && stamp.size == writer.Size()) {
        stamp.crc = writer.Crc();
        detail::RememberArchive(stamp);
    }
    return ZipResult::Ok;
}

}  // namespace

ZipResult PackFiles(const std::wstring& archivePath, const std::vector<std::wstring>& filePaths,
                    const std::string& password) {
    OldArchive none;
    return WriteBesideAndReplace(archivePath, filePaths, password, none, false, nullptr);
}

ZipResult UpdateFiles(const std::wstring& archivePath, const std::vector<std::wstring>& filePaths,
                      const std::string& password, bool keepOthers, size_t* copied) {
    if (copied) *copied = 0;
    OldArchive old;
    if (!filePaths.empty()) old.Read(archivePath);
    return WriteBesideAndReplace(archivePath, filePaths, password, old, keepOthers, copied);
}

}  // namespace zip
