#include <windows.h>

#include <set>

#include <zlib.h>

#include "vb/VbText.h"
#include "zip/ZipArchive.h"
#include "zip/ZipFiles.h"
#include "zip/ZipFormat.h"

namespace zip {

using namespace zip::format;

namespace {

constexpr uint16_t kVersionMadeBy = 20;  // MS-DOS attributes, ZIP 2.0
constexpr uint16_t kVersionNeeded = 20;  // deflate and traditional encryption
constexpr uint32_t kArchiveAttribute = FILE_ATTRIBUTE_ARCHIVE;

struct Written {
    std::string name;
    uint16_t flags = 0;
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

std::string LocalHeader(const Written& w) {
    std::string h;
    Put32(h, kLocalHeaderSig);
    Put16(h, kVersionNeeded);
    Put16(h, w.flags);
    Put16(h, kMethodDeflated);
    Put16(h, w.dosTime);
    Put16(h, w.dosDate);
    Put32(h, w.crc);
    Put32(h, w.packedSize);
    Put32(h, w.size);
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
    Put16(h, kMethodDeflated);
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

// Packs every file into the open temporary file.
ZipResult WriteArchive(HANDLE out, const std::vector<std::wstring>& filePaths, const std::vector<std::wstring>& names,
                       const std::string& password) {
    const bool encrypt = !password.empty();
    std::vector<uint8_t> random(filePaths.size() * kCryptHeaderSize);
    if (encrypt && !files::RandomBytes(random.data(), random.size())) return ZipResult::WriteFailed;

    Deflater deflater;
    std::vector<Written> written;
    std::vector<uint8_t> plain, packed;
    uint64_t offset = 0;
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
        if (packed.size() > 0xfffffffeull || offset > 0xfffffffeull) return ZipResult::Unsupported;
        w.packedSize = static_cast<uint32_t>(packed.size());
        w.localOffset = static_cast<uint32_t>(offset);

        std::string header = LocalHeader(w);
        if (!files::WriteAll(out, header.data(), header.size()) || !files::WriteAll(out, packed.data(), packed.size()))
            return ZipResult::WriteFailed;
        offset += header.size() + packed.size();
        written.push_back(std::move(w));
    }

    std::string directory;
    for (const auto& w : written) directory += CentralHeader(w);
    if (offset + directory.size() > 0xfffffffeull) return ZipResult::Unsupported;
    std::string end;
    Put32(end, kEndRecordSig);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, static_cast<uint16_t>(written.size()));
    Put16(end, static_cast<uint16_t>(written.size()));
    Put32(end, static_cast<uint32_t>(directory.size()));
    Put32(end, static_cast<uint32_t>(offset));
    Put16(end, 0);  // comment
    directory += end;
    if (!files::WriteAll(out, directory.data(), directory.size())) return ZipResult::WriteFailed;
    return ZipResult::Ok;
}

}  // namespace

ZipResult PackFiles(const std::wstring& archivePath, const std::vector<std::wstring>& filePaths,
                    const std::string& password) {
    if (filePaths.empty()) return ZipResult::NoFiles;
    if (filePaths.size() > 0xfffe) return ZipResult::Unsupported;
    std::vector<std::wstring> names;
    std::set<std::wstring> seen;
    for (const auto& path : filePaths) {
        std::wstring name = files::NameOf(path);
        if (!IsSafeMemberName(name) || !seen.insert(vb::UCase(name)).second) return ZipResult::UnsafeName;
        names.push_back(std::move(name));
    }

    // A new file beside the archive, put in its place only when it is complete.
    wchar_t temp[MAX_PATH];
    if (!GetTempFileNameW(files::FolderOf(archivePath).c_str(), L"zip", 0, temp)) return ZipResult::WriteFailed;
    files::FileHandle out(CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ZipResult result = out.valid() ? WriteArchive(out.get(), filePaths, names, password) : ZipResult::WriteFailed;
    if (result == ZipResult::Ok && !FlushFileBuffers(out.get())) result = ZipResult::WriteFailed;
    if (!out.Close() && result == ZipResult::Ok) result = ZipResult::WriteFailed;
    if (result == ZipResult::Ok &&
        !MoveFileExW(temp, archivePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        result = ZipResult::WriteFailed;
    if (result != ZipResult::Ok) DeleteFileW(temp);
    return result;
}

}  // namespace zip
