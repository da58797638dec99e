#include "zip/ZipReader.h"

#include <cstring>
#include <new>
#include <set>

#include <zlib.h>

#include "vb/VbText.h"
#include "zip/ZipFiles.h"
#include "zip/ZipFormat.h"

namespace zip::detail {

using namespace zip::format;

namespace {

// What the central directory says of one member.
struct Entry {
    std::wstring name;
    const uint8_t* rawName = nullptr;
    uint16_t rawNameLength = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint32_t packedSize = 0;
    uint32_t size = 0;
    uint32_t localOffset = 0;
    bool hasUnixTime = false;
    uint32_t unixTime = 0;
};

// Deflate cannot expand data by more than about 1032 to 1: a larger stated size is a lie
// that would only make us allocate memory for nothing.
constexpr uint64_t kMaxDeflateRatio = 1032;

class Inflater {
public:
    Inflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~Inflater() {
        if (ok_) inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Raw deflate data that must come out as exactly size bytes, passed to writer in pieces
    // of piece's size; crc receives the CRC-32 of what came out. Inflating piece by piece
    // into one small buffer keeps a large member from needing fresh memory of its own size.
    ZipResult Inflate(const uint8_t* in, size_t inSize, uint32_t size, std::vector<uint8_t>& piece,
                      MemberWriter& writer, uint32_t& crc) {
        crc = 0;
        if (!ok_ || inflateReset(&stream_) != Z_OK) return ZipResult::Damaged;
        stream_.next_in = const_cast<Bytef*>(in);
        stream_.avail_in = static_cast<uInt>(inSize);
        uint64_t total = 0;
        for (;;) {
            stream_.next_out = piece.data();
            stream_.avail_out = static_cast<uInt>(piece.size());
            const int rc = inflate(&stream_, Z_NO_FLUSH);
            const size_t got = piece.size() - stream_.avail_out;
            if (got > 0) {
                total += got;
                if (total > size) return ZipResult::Damaged;
                crc = static_cast<uint32_t>(crc32_z(crc, piece.data(), got));
                if (!writer.Put(piece.data(), got)) return ZipResult::WriteFailed;
            }
            if (rc == Z_STREAM_END) break;
            // Z_BUF_ERROR: the data ended before the stream did.
            if (rc != Z_OK) return ZipResult::Damaged;
        }
        return total == size ? ZipResult::Ok : ZipResult::Damaged;
    }

private:
    z_stream stream_{};
    bool ok_ = false;
};

// The end record: the last 22 bytes, or earlier when the archive carries a comment.
bool FindEndRecord(const std::vector<uint8_t>& bytes, size_t& position) {
    if (bytes.size() < kEndRecordSize) return false;
    size_t lowest = bytes.size() > kEndRecordSize + 0xffff ? bytes.size() - kEndRecordSize - 0xffff : 0;
    for (size_t pos = bytes.size() - kEndRecordSize + 1; pos-- > lowest;) {
        const uint8_t* p = bytes.data() + pos;
        if (Get32(p) == kEndRecordSig && pos + kEndRecordSize + Get16(p + 20) == bytes.size()) {
            position = pos;
            return true;
        }
    }
    return false;
}

void ReadTimestampExtra(const uint8_t* extra, size_t length, Entry& entry) {
    size_t pos = 0;
    while (pos + 4 <= length) {
        uint16_t id = Get16(extra + pos);
        uint16_t size = Get16(extra + pos + 2);
        if (pos + 4 + size > length) return;
        const uint8_t* data = extra + pos + 4;
        if (id == kExtraTimestamp && size >= 5 && (data[0] & 1)) {
            entry.hasUnixTime = true;
            entry.unixTime = Get32(data + 1);
        }
        pos += 4 + size;
    }
}

// dataLimit receives where the member data ends: at the central directory.
ZipResult ReadCentralDirectory(const std::vector<uint8_t>& bytes, std::vector<Entry>& entries, size_t& dataLimit) {
    size_t end = 0;
    if (!FindEndRecord(bytes, end)) return ZipResult::NotZip;
    const uint8_t* e = bytes.data() + end;
    uint16_t disk = Get16(e + 4), directoryDisk = Get16(e + 6);
    uint16_t entriesHere = Get16(e + 8), count = Get16(e + 10);
    uint32_t directorySize = Get32(e + 12), directoryOffset = Get32(e + 16);
    // Saturated fields mean the real values are in ZIP64 records, which we do not read.
    if (count == 0xffff || directorySize == 0xffffffff || directoryOffset == 0xffffffff)
        return ZipResult::Unsupported;
    if (disk != 0 || directoryDisk != 0 || entriesHere != count) return ZipResult::Unsupported;
    if (static_cast<uint64_t>(directoryOffset) + directorySize > end) return ZipResult::Damaged;
    dataLimit = directoryOffset;

    const uint8_t* base = bytes.data();
    size_t pos = directoryOffset;
    const size_t directoryEnd = static_cast<size_t>(directoryOffset) + directorySize;
    std::set<std::wstring> seen;
    entries.clear();
    entries.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (pos + kCentralHeaderSize > directoryEnd) return ZipResult::Damaged;
        const uint8_t* h = base + pos;
        if (Get32(h) != kCentralHeaderSig) return ZipResult::Damaged;
        Entry entry;
        entry.flags = Get16(h + 8);
        entry.method = Get16(h + 10);
        entry.dosTime = Get16(h + 12);
        entry.dosDate = Get16(h + 14);
        entry.crc = Get32(h + 16);
        entry.packedSize = Get32(h + 20);
        entry.size = Get32(h + 24);
        uint16_t nameLength = Get16(h + 28), extraLength = Get16(h + 30), commentLength = Get16(h + 32);
        uint16_t startDisk = Get16(h + 34);
        entry.localOffset = Get32(h + 42);
        size_t next = pos + kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (next > directoryEnd) return ZipResult::Damaged;

        if (entry.flags & (kFlagStrongEncryption | kFlagMaskedHeaders)) return ZipResult::Unsupported;
        if (entry.method != kMethodStored && entry.method != kMethodDeflated) return ZipResult::Unsupported;
        if (entry.packedSize == 0xffffffff || entry.size == 0xffffffff || entry.localOffset == 0xffffffff ||
            startDisk != 0)
            return ZipResult::Unsupported;

        entry.rawName = h + kCentralHeaderSize;
        entry.rawNameLength = nameLength;
        if (!DecodeMemberName(entry.rawName, nameLength, entry.flags, entry.name) ||
            !IsSafeMemberName(entry.name))
            return ZipResult::UnsafeName;
        // Two members for one file: which one would win is anybody's guess.
        if (!seen.insert(vb::UCase(entry.name)).second) return ZipResult::UnsafeName;
        ReadTimestampExtra(h + kCentralHeaderSize + nameLength, extraLength, entry);
        entries.push_back(std::move(entry));
        pos = next;
    }
    return ZipResult::Ok;
}

// Where the member's local header is and what it says, checked against its directory entry.
struct LocalPart {
    size_t dataStart = 0;
    uint16_t dosTime = 0;
    bool descriptor = false;
};

ZipResult ReadLocalHeader(const std::vector<uint8_t>& bytes, size_t dataLimit, const Entry& entry, LocalPart& local) {
    size_t at = entry.localOffset;
    if (at + kLocalHeaderSize > dataLimit) return ZipResult::Damaged;
    const uint8_t* h = bytes.data() + at;
    if (Get32(h) != kLocalHeaderSig) return ZipResult::Damaged;
    uint16_t flags = Get16(h + 6);
    uint16_t method = Get16(h + 8);
    local.dosTime = Get16(h + 10);
    uint16_t nameLength = Get16(h + 26), extraLength = Get16(h + 28);
    if (method != entry.method || (flags & kFlagEncrypted) != (entry.flags & kFlagEncrypted))
        return ZipResult::Damaged;
    if (nameLength != entry.rawNameLength || at + kLocalHeaderSize + nameLength > dataLimit ||
        memcmp(h + kLocalHeaderSize, entry.rawName, nameLength) != 0)
        return ZipResult::Damaged;
    local.descriptor = ((flags | entry.flags) & kFlagDataDescriptor) != 0;
    if (!local.descriptor && (Get32(h + 14) != entry.crc || Get32(h + 18) != entry.packedSize ||
                              Get32(h + 22) != entry.size))
        return ZipResult::Damaged;
    local.dataStart = at + kLocalHeaderSize + nameLength + extraLength;
    if (local.dataStart > dataLimit || entry.packedSize > dataLimit - local.dataStart) return ZipResult::Damaged;
    return ZipResult::Ok;
}

ZipResult ReadMember(std::vector<uint8_t>& bytes, size_t dataLimit, const Entry& entry, const std::string& password,
                     Inflater& inflater, std::vector<uint8_t>& piece, MemberWriter& writer) {
    LocalPart local;
    if (ZipResult result = ReadLocalHeader(bytes, dataLimit, entry, local); result != ZipResult::Ok) return result;
    const bool descriptor = local.descriptor;
    const uint16_t dosTime = local.dosTime;
    const size_t dataStart = local.dataStart;

    uint8_t* data = bytes.data() + dataStart;
    size_t dataSize = entry.packedSize;
    if (entry.flags & kFlagEncrypted) {
        if (password.empty()) return ZipResult::BadPassword;
        if (dataSize < kCryptHeaderSize) return ZipResult::Damaged;
        Cipher cipher(password);
        cipher.Decrypt(data, kCryptHeaderSize);
        if (!CheckByteMatches(data[kCryptHeaderSize - 1], entry.crc, descriptor, dosTime)) return ZipResult::BadPassword;
        data += kCryptHeaderSize;
        dataSize -= kCryptHeaderSize;
        cipher.Decrypt(data, dataSize);
    }

    uint32_t crc = 0;
    if (entry.method == kMethodStored) {
        if (dataSize != entry.size) return ZipResult::Damaged;
        if (!writer.Begin(entry.name, entry.size)) return ZipResult::WriteFailed;
        crc = static_cast<uint32_t>(crc32_z(0, data, dataSize));
        if (dataSize > 0 && !writer.Put(data, dataSize)) return ZipResult::WriteFailed;
    } else {
        if (entry.size > static_cast<uint64_t>(dataSize) * kMaxDeflateRatio + 1024) return ZipResult::Damaged;
        if (!writer.Begin(entry.name, entry.size)) return ZipResult::WriteFailed;
        if (ZipResult result = inflater.Inflate(data, dataSize, entry.size, piece, writer, crc); result != ZipResult::Ok)
            return result;
    }
    if (crc != entry.crc) return ZipResult::CrcMismatch;

    FILETIME modified;
    if (entry.hasUnixTime)
        modified = UnixToFileTime(entry.unixTime);
    else if (!DosToFileTime(entry.dosDate, entry.dosTime, modified))
        GetSystemTimeAsFileTime(&modified);
    return writer.End(modified) ? ZipResult::Ok : ZipResult::WriteFailed;
}

// The archive's bytes and what its central directory says of each member.
ZipResult OpenArchive(const std::wstring& archivePath, std::vector<uint8_t>& bytes, std::vector<Entry>& entries,
                      size_t& dataLimit) {
    switch (files::ReadWholeFile(archivePath, 0xffffffffull, bytes)) {
        case files::ReadStatus::Ok:
            break;
        case files::ReadStatus::TooLarge:
            return ZipResult::Unsupported;  // beyond what an archive without ZIP64 can hold
        default:
            return ZipResult::CannotOpen;
    }
    return ReadCentralDirectory(bytes, entries, dataLimit);
}

// One piece of a member's plain bytes: small enough to stay in the cache, large enough that
// a file takes few writes.
constexpr size_t kPieceSize = 64 * 1024;

// Reads the members that take reads into writer, in archive order.
template <class Takes>
ZipResult ReadChosen(const std::wstring& archivePath, const std::string& password, Takes takes, MemberWriter& writer,
                     std::vector<std::wstring>* names = nullptr) {
    std::vector<uint8_t> bytes;
    std::vector<Entry> entries;
    size_t dataLimit = 0;
    ZipResult result = OpenArchive(archivePath, bytes, entries, dataLimit);
    if (result != ZipResult::Ok) return result;
    Inflater inflater;
    std::vector<uint8_t> piece(kPieceSize);
    for (const Entry& entry : entries) {
        if (!takes(entry.name)) continue;
        result = ReadMember(bytes, dataLimit, entry, password, inflater, piece, writer);
        if (result != ZipResult::Ok) return result;
    }
    if (names) {
        names->clear();
        for (const Entry& entry : entries) names->push_back(entry.name);
    }
    return ZipResult::Ok;
}

// Keeps each member's plain bytes in memory.
class MemoryWriter final : public MemberWriter {
public:
    explicit MemoryWriter(std::vector<MemberData>& read) : read_(read) {}
    bool Begin(const std::wstring& name, uint32_t size) override {
        try {
            read_.push_back({name, {}});
            read_.back().data.reserve(size);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    bool Put(const uint8_t* data, size_t size) override {
        try {
            read_.back().data.insert(read_.back().data.end(), data, data + size);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    bool End(const FILETIME&) override { return true; }

private:
    std::vector<MemberData>& read_;
};

}  // namespace

ZipResult ReadArchive(const std::wstring& archivePath, const std::string& password, MemberWriter& writer) {
    return ReadChosen(archivePath, password, [](const std::wstring&) { return true; }, writer);
}

ZipResult ReadStoredMembers(const std::vector<uint8_t>& bytes, std::vector<StoredMember>& members) {
    members.clear();
    std::vector<Entry> entries;
    size_t dataLimit = 0;
    ZipResult result = ReadCentralDirectory(bytes, entries, dataLimit);
    if (result != ZipResult::Ok) return result;
    for (const Entry& entry : entries) {
        LocalPart local;
        result = ReadLocalHeader(bytes, dataLimit, entry, local);
        if (result != ZipResult::Ok) return result;
        StoredMember m;
        m.name = entry.name;
        m.flags = entry.flags;
        m.method = entry.method;
        m.dosTime = entry.dosTime;
        m.dosDate = entry.dosDate;
        m.localDosTime = local.dosTime;
        m.crc = entry.crc;
        m.packedSize = entry.packedSize;
        m.size = entry.size;
        m.hasUnixTime = entry.hasUnixTime;
        m.unixTime = entry.unixTime;
        m.dataStart = local.dataStart;
        members.push_back(std::move(m));
    }
    return ZipResult::Ok;
}

}  // namespace zip::detail

namespace zip {

ZipResult ReadMembers(const std::wstring& archivePath, const std::string& password,
                      const std::vector<std::wstring>& wanted, std::vector<MemberData>& read,
                      std::vector<std::wstring>* names) {
    read.clear();
    auto takes = [&](const std::wstring& name) {
        for (const std::wstring& w : wanted)
            if (vb::TextEquals(w, name)) return true;
        return false;
    };
    detail::MemoryWriter writer(read);
    const ZipResult result = detail::ReadChosen(archivePath, password, takes, writer, names);
    if (result != ZipResult::Ok) read.clear();
    return result;
}

}  // namespace zip
