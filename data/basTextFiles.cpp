#include "basTextFiles.h"

#include <windows.h>

#include <cstdint>
#include <map>

#include "basErrorHandler.h"
#include "vb/VbError.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"
#include "zip/ZipArchive.h"

namespace {

constexpr long ErrPathFileAccess = 75;

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    void Close() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_;
};

[[noreturn]] void RaiseFileError(const std::wstring& what, const std::wstring& path, DWORD code) {
    SetLastError(code);
    vb::NoteLastDllError();
    std::wstring text = what + L" " + path;
    std::wstring system = GetSystemErrorText(static_cast<long>(code));
    if (!system.empty()) text += L": " + system;
    vb::Raise(ErrPathFileAccess, std::nullopt, text);
}

// A text file as WriteTextFileIfChanged last left it.
struct WrittenText {
    std::wstring text;
    uint64_t size = 0;
    FILETIME lastWrite{};
};

struct TextFileState {
    std::map<std::wstring, WrittenText> written;  // by upper-case path
};

TextFileState& State() { return vb::ThreadInstance<TextFileState>(); }

bool SizeAndTime(const std::wstring& path, uint64_t& size, FILETIME& lastWrite) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    lastWrite = data.ftLastWriteTime;
    return true;
}

}  // namespace

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    // Every sharing is granted, deleting and renaming included, so that a save replacing the
    // file is never refused while it is read.
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    std::string read;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0) read.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) || got == 0) break;
        read.append(buffer, got);
    }
    bytes = std::move(read);
    return true;
}

bool ReadTextLines(const std::wstring& path, std::vector<std::wstring>& lines) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    lines = SplitTextLines(bytes);
    return true;
}

std::vector<std::wstring> SplitTextLines(std::string_view bytes) {
    std::vector<std::wstring> read;
    size_t start = 0;
    const size_t n = bytes.size();
    while (start < n) {
        size_t end = start;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        read.push_back(vb::FromAnsi(bytes.substr(start, end - start)));
        if (end < n && bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return read;
}

void WriteTextFileReplacing(const std::wstring& path, const std::wstring& text) {
    State().written.erase(vb::UCase(path));
    const std::wstring fresh = path + L".new";
    const std::string bytes = vb::ToAnsi(text);
    {
        FileHandle file(
            CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) RaiseFileError(L"Cannot write", fresh, GetLastError());
        DWORD written = 0;
        BOOL ok = bytes.empty() || (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                              nullptr) &&
                                    written == bytes.size());
        if (ok) ok = FlushFileBuffers(file.Get());
        DWORD code = GetLastError();
        file.Close();
        if (!ok) {
            DeleteFileW(fresh.c_str());
            RaiseFileError(L"Cannot write", fresh, code);
        }
    }
    if (!MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD code = GetLastError();
        DeleteFileW(fresh.c_str());
        RaiseFileError(L"Cannot replace", path, code);
    }
    // The archive's next update must read this file again, even when the new file has the old
    // one's size and a time stamp within the same tick of the clock.
    zip::NoteFileChanged(path);
}

bool WriteTextFileIfChanged(const std::wstring& path, const std::wstring& text) {
    const std::wstring key = vb::UCase(path);
    {
        auto& written = State().written;
        auto found = written.find(key);
        uint64_t size = 0;
        FILETIME lastWrite{};
        if (found != written.end() && found->second.text == text && SizeAndTime(path, size, lastWrite) &&
            size == found->second.size && CompareFileTime(&lastWrite, &found->second.lastWrite) == 0)
            return false;
    }
    WriteTextFileReplacing(path, text);
    WrittenText record;
    if (!SizeAndTime(path, record.size, record.lastWrite)) return true;
    record.text = text;
    State().written[key] = std::move(record);
    return true;
}
