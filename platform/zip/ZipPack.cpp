#include <windows.h>

#include <cstring>
#include <set>

#include <zlib.h>

#include "vb/VbText.h"
#include "zip/ZipArchive.h"
#include "zip/ZipFiles.h"
#include "zip/ZipFormat.h"
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

class Deflater {
public:
    Deflater() {
        ok_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ok_) deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Raw deflate of the input, behind room for the encryption header at the front of out.
    bool Deflate(const std::vector<uint8_t>& in, size_t room, std::vector<uint8_t>& out) {
        if (!ok_ || deflateReset(&stream_) != Z_OK) return false;
        out.resize(room + deflateBound(&stream_, static_cast<uLong>(in.size())));
        uint8_t spare = 0;
        stream_.next_in = in.empty() ? &spare : const_cast<Bytef*>(in.data());
        stream_.avail_in = static_cast<uInt>(in.size());
        stream_.next_out = out.data() + room;
        stream_.avail_out = static_cast<uInt>(out.size() - room);
        if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) return false;
        out.resize(room + stream_.total_out);
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

    ZipResult Add(Written w, const uint8_t* data, size_t size) {
        if (size > 0xfffffffeull || offset_ > 0xfffffffeull || written_.size() >= 0xfffe)
            return ZipResult::Unsupported;
        w.packedSize = static_cast<uint32_t>(size);
        w.localOffset = static_cast<uint32_t>(offset_);
        std::string header = LocalHeader(w);
        std::string trailer = HasDescriptor(w) ? DataDescriptor(w) : std::string();
        if (!files::WriteAll(out_, header.data(), header.size()) || !files::WriteAll(out_, data, size) ||
            !files::WriteAll(out_, trailer.data(), trailer.size()))
            return ZipResult::WriteFailed;
        offset_ += header.size() + size + trailer.size();
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
        if (!files::WriteAll(out_, directory.data(), directory.size())) return ZipResult::WriteFailed;
        return ZipResult::Ok;
    }

private:
    HANDLE out_;
    uint64_t offset_ = 0;
    std::vector<Written> written_;
};

// The archive that an update starts from: its bytes and its members as they lie there.
struct OldArchive {
    std::vector<uint8_t> bytes;
    std::vector<detail::StoredMember> members;
    std::vector<bool> used;

    void Read(const std::wstring& path) {
        if (files::ReadWholeFile(path, 0xffffffffull, bytes) != files::ReadStatus::Ok ||
            detail::ReadStoredMembers(bytes, members) != ZipResult::Ok)
            members.clear();
        used.assign(members.size(), false);
    }
    const detail::StoredMember* Find(const std::wstring& name, size_t& index) const {
        for (index = 0; index < members.size(); ++index)
            if (vb::TextEquals(members[index].name, name)) return &members[index];
        return nullptr;
    }
    const uint8_t* Data(const detail::StoredMember& m) const { return bytes.data() + m.dataStart; }

    // Whether the member opens with the password: the check byte at the end of its
    // encryption header (or no encryption at all, when there is no password).
    bool OpensWith(const detail::StoredMember& m, const std::string& password) const {
        const bool encrypted = (m.flags & kFlagEncrypted) != 0;
        if (encrypted != !password.empty()) return false;
        if (!encrypted) return true;
        if (m.packedSize < kCryptHeaderSize) return false;
        uint8_t header[kCryptHeaderSize];
        memcpy(header, Data(m), kCryptHeaderSize);
        Cipher cipher(password);
        cipher.Decrypt(header, kCryptHeaderSize);
        const bool descriptor = (m.flags & kFlagDataDescriptor) != 0;
        return header[kCryptHeaderSize - 1] ==
               static_cast<uint8_t>(descriptor ? m.localDosTime >> 8 : m.crc >> 24);
    }
};

// Packs every file into the open new archive. A file whose content equals the old archive's
// member of its name (size and CRC-32), stored without a data descriptor (whose check byte
// would follow the time), is not compressed again: the member's stored bytes are copied
// under the file's time. keepOthers: the old members that no file replaces follow as stored.
ZipResult WriteArchive(HANDLE out, const std::vector<std::wstring>& filePaths, const std::vector<std::wstring>& names,
                       const std::string& password, OldArchive& old, bool keepOthers, size_t* copied) {
    const bool encrypt = !password.empty();
    std::vector<uint8_t> random(filePaths.size() * kCryptHeaderSize);
    if (encrypt && !files::RandomBytes(random.data(), random.size())) return ZipResult::WriteFailed;

    ArchiveWriter writer(out);
    Deflater deflater;
    std::vector<uint8_t> plain, packed;
    size_t reused = 0;
    for (size_t i = 0; i < filePaths.size(); ++i) {
        FILETIME modified;
        switch (files::ReadWholeFile(filePaths[i], 0xfffffffeull, plain, &modified)) {
            case files::ReadStatus::Ok:
                break;
            case files::ReadStatus::TooLarge:
                return ZipResult::Unsupported;  // would need ZIP64
            default:
                return ZipResult::ReadFailed;
        }
        Written w;
        w.name = EncodeMemberName(names[i], w.flags);
        FileTimeToDos(modified, w.dosDate, w.dosTime);
        w.hasUnixTime = FileTimeToUnix(modified, w.unixTime);
        w.crc = static_cast<uint32_t>(crc32_z(0, plain.data(), plain.size()));
        w.size = static_cast<uint32_t>(plain.size());

        size_t index = 0;
        const detail::StoredMember* same = old.Find(names[i], index);
        if (same) old.used[index] = true;
        if (same && !(same->flags & kFlagDataDescriptor) && same->crc == w.crc && same->size == w.size &&
            old.OpensWith(*same, password)) {
            w.flags |= same->flags & kFlagEncrypted;
            w.method = same->method;
            if (ZipResult r = writer.Add(std::move(w), old.Data(*same), same->packedSize); r != ZipResult::Ok) return r;
            ++reused;
            continue;
        }

        const size_t room = encrypt ? kCryptHeaderSize : 0;
        if (!deflater.Deflate(plain, room, packed)) return ZipResult::WriteFailed;
        if (encrypt) {
            // Eleven random bytes and the CRC's high byte, by which a reader checks the password.
            w.flags |= kFlagEncrypted;
            memcpy(packed.data(), random.data() + i * kCryptHeaderSize, kCryptHeaderSize - 1);
            packed[kCryptHeaderSize - 1] = static_cast<uint8_t>(w.crc >> 24);
            Cipher cipher(password);
            cipher.Encrypt(packed.data(), packed.size());
        }
        if (ZipResult r = writer.Add(std::move(w), packed.data(), packed.size()); r != ZipResult::Ok) return r;
    }

    for (size_t k = 0; keepOthers && k < old.members.size(); ++k) {
        const detail::StoredMember& m = old.members[k];
        if (old.used[k] || !old.OpensWith(m, password)) continue;
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
        if (ZipResult r = writer.Add(std::move(w), old.Data(m), m.packedSize); r != ZipResult::Ok) return r;
        ++reused;
    }
    if (copied) *copied = reused;
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
// new file has a fixed name, so one that a crash left behind is reused by the next write.
ZipResult WriteBesideAndReplace(const std::wstring& archivePath, const std::vector<std::wstring>& filePaths,
                                const std::string& password, OldArchive& old, bool keepOthers, size_t* copied) {
    std::vector<std::wstring> names;
    if (ZipResult r = MemberNames(filePaths, names); r != ZipResult::Ok) return r;
    const std::wstring temp = archivePath + L".new";
    files::FileHandle out(
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) return ZipResult::WriteFailed;
    ZipResult result = WriteArchive(out.get(), filePaths, names, password, old, keepOthers, copied);
    if (result == ZipResult::Ok && !FlushFileBuffers(out.get())) result = ZipResult::WriteFailed;
    if (!out.Close() && result == ZipResult::Ok) result = ZipResult::WriteFailed;
    if (result == ZipResult::Ok &&
        !MoveFileExW(temp.c_str(), archivePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        result = ZipResult::WriteFailed;
    if (result != ZipResult::Ok) DeleteFileW(temp.c_str());
    return result;
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
