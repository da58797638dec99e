#include "zip/ZipLedger.h"

#include <map>
#include <utility>

#include <zlib.h>

#include "vb/VbText.h"
#include "zip/ZipArchive.h"
#include "zip/ZipFiles.h"

namespace zip::detail {

namespace {

constexpr size_t kArchivesKept = 8;
constexpr size_t kBuffersKept = 4;
constexpr size_t kLargestBufferKept = 64u << 20;

bool EqualFileTimes(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

bool SameStamp(const FileStamp& a, const FileStamp& b) {
    return a.size == b.size && a.crc == b.crc && EqualFileTimes(a.lastWrite, b.lastWrite);
}

// One lock for all of it: the options window saves on its thread while a chooser thread of the
// same process may unpack.
struct Ledger {
    Ledger() { InitializeCriticalSection(&lock); }
    ~Ledger() { DeleteCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    std::vector<FileStamp> archives;  // the latest last
    std::map<std::wstring, FileStamp> files;
    std::vector<std::vector<uint8_t>> buffers;
};

Ledger& TheLedger() {
    static Ledger ledger;
    return ledger;
}

class Locked {
public:
    Locked() : ledger_(TheLedger()) { EnterCriticalSection(&ledger_.lock); }
    ~Locked() { LeaveCriticalSection(&ledger_.lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    Ledger* operator->() { return &ledger_; }

private:
    Ledger& ledger_;
};

// One key per file however the path was written: full, and case aside.
std::wstring FileKey(const std::wstring& path) {
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(n, L'\0');
    if (n == 0 || (n = GetFullPathNameW(path.c_str(), n, full.data(), nullptr)) == 0 || n >= full.size())
        return vb::UCase(path);
    full.resize(n);
    return vb::UCase(full);
}

}  // namespace

void RememberArchive(const FileStamp& stamp) {
    Locked ledger;
    auto& archives = ledger->archives;
    for (size_t i = 0; i < archives.size(); ++i)
        if (SameStamp(archives[i], stamp)) archives.erase(archives.begin() + static_cast<std::ptrdiff_t>(i--));
    archives.push_back(stamp);
    if (archives.size() > kArchivesKept) archives.erase(archives.begin());
}

bool KnowsArchive(const FileStamp& stamp) {
    Locked ledger;
    for (const FileStamp& known : ledger->archives)
        if (SameStamp(known, stamp)) return true;
    return false;
}

void RememberUnpackedArchive(const std::wstring& path, uint64_t size, const FILETIME& lastWrite) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    files::FileHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) return;
    FileStamp stamp;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file.get(), &length) || !GetFileTime(file.get(), nullptr, nullptr, &stamp.lastWrite)) return;
    stamp.size = static_cast<uint64_t>(length.QuadPart);
    if (stamp.size != size || !EqualFileTimes(stamp.lastWrite, lastWrite)) return;
    uint8_t piece[65536];
    uLong crc = 0;
    uint64_t done = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), piece, sizeof piece, &got, nullptr)) return;
        if (got == 0) break;
        crc = crc32_z(crc, piece, got);
        done += got;
    }
    if (done != size) return;
    stamp.crc = static_cast<uint32_t>(crc);
    RememberArchive(stamp);
}

void RememberFile(const std::wstring& path, const FileStamp& stamp) {
    const std::wstring key = FileKey(path);
    Locked ledger;
    ledger->files[key] = stamp;
}

void RememberFileAsItIs(const std::wstring& path, uint32_t crc) {
    FileStamp stamp;
    stamp.crc = crc;
    if (files::SizeAndTime(path, stamp.size, stamp.lastWrite))
        RememberFile(path, stamp);
    else
        ForgetFile(path);
}

bool KnownFileCrc(const std::wstring& path, uint64_t size, const FILETIME& lastWrite, uint32_t& crc) {
    const std::wstring key = FileKey(path);
    Locked ledger;
    auto found = ledger->files.find(key);
    if (found == ledger->files.end() || found->second.size != size || !EqualFileTimes(found->second.lastWrite, lastWrite))
        return false;
    crc = found->second.crc;
    return true;
}

void ForgetFile(const std::wstring& path) {
    const std::wstring key = FileKey(path);
    Locked ledger;
    ledger->files.erase(key);
}

ScratchBuffer::ScratchBuffer() {
    Locked ledger;
    if (!ledger->buffers.empty()) {
        bytes = std::move(ledger->buffers.back());
        ledger->buffers.pop_back();
    }
    bytes.clear();
}

ScratchBuffer::~ScratchBuffer() {
    if (bytes.capacity() == 0 || bytes.capacity() > kLargestBufferKept) return;
    Locked ledger;
    if (ledger->buffers.size() < kBuffersKept) ledger->buffers.push_back(std::move(bytes));
}

}  // namespace zip::detail

namespace zip {

void NoteFileChanged(const std::wstring& path) { detail::ForgetFile(path); }

void NoteFileWritten(const std::wstring& path, uint32_t crc) { detail::RememberFileAsItIs(path, crc); }

bool FileKnownToHold(const std::wstring& path, uint64_t size, uint32_t crc) {
    detail::FileStamp now;
    uint32_t known = 0;
    return files::SizeAndTime(path, now.size, now.lastWrite) && now.size == size &&
           detail::KnownFileCrc(path, now.size, now.lastWrite, known) && known == crc;
}

}  // namespace zip
