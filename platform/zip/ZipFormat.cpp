#include "zip/ZipFormat.h"

#include <cwctype>

namespace zip::format {

namespace {

// 100-nanosecond intervals between 1601 and 1970.
constexpr uint64_t kUnixEpoch = 116444736000000000ull;
constexpr uint64_t kTicksPerSecond = 10000000ull;

uint64_t ToTicks(const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

bool IsDeviceName(std::wstring_view name) {
    // Windows maps these names to devices whatever the extension: "nul.dat" is NUL.
    std::wstring base(name.substr(0, name.find(L'.')));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (auto& c : base) c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const fixed[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* device : fixed)
        if (base == device) return true;
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
        base[3] >= L'0' && base[3] <= L'9')
        return true;
    return false;
}

}  // namespace

// The local clock as it read at that date (daylight saving time of the date, not of today),
// as Info-ZIP and the C run time's localtime convert.
void FileTimeToDos(const FILETIME& utc, uint16_t& date, uint16_t& time) {
    SYSTEMTIME universal, local;
    FILETIME localTime;
    WORD d = 0, t = 0;
    if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local) ||
        !SystemTimeToFileTime(&local, &localTime) || !FileTimeToDosDateTime(&localTime, &d, &t) || d < 0x21) {
        d = 0x21;  // 1 January 1980
        t = 0;
    }
    date = d;
    time = t;
}

bool DosToFileTime(uint16_t date, uint16_t time, FILETIME& utc) {
    FILETIME localTime;
    SYSTEMTIME local, universal;
    return DosDateTimeToFileTime(date, time, &localTime) && FileTimeToSystemTime(&localTime, &local) &&
           TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) && SystemTimeToFileTime(&universal, &utc);
}

bool FileTimeToUnix(const FILETIME& utc, uint32_t& seconds) {
    uint64_t ticks = ToTicks(utc);
    if (ticks < kUnixEpoch) return false;
    uint64_t s = (ticks - kUnixEpoch) / kTicksPerSecond;
    if (s > 0x7fffffffull) return false;  // the field is read as signed by most tools
    seconds = static_cast<uint32_t>(s);
    return true;
}

FILETIME UnixToFileTime(uint32_t seconds) {
    uint64_t ticks = kUnixEpoch + static_cast<uint64_t>(seconds) * kTicksPerSecond;
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(ticks);
    t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return t;
}

bool IsSafeMemberName(std::wstring_view name) {
    if (name.empty() || name.size() > 240) return false;
    if (name == L"." || name == L"..") return false;
    for (wchar_t c : name) {
        if (c < 0x20 || c == 0x7f) return false;
        if (wcschr(L"\\/:*?\"<>|", c)) return false;
    }
    if (name.back() == L'.' || name.back() == L' ') return false;
    return !IsDeviceName(name);
}

std::string EncodeMemberName(const std::wstring& name, uint16_t& flags) {
    bool ascii = true;
    for (wchar_t c : name)
        if (c >= 0x80) ascii = false;
    if (ascii) return std::string(name.begin(), name.end());
    flags |= kFlagUtf8;
    int n = WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), out.data(), n, nullptr, nullptr);
    return out;
}

bool DecodeMemberName(const uint8_t* bytes, size_t count, uint16_t flags, std::wstring& name) {
    name.clear();
    if (count == 0) return true;
    bool ascii = true;
    for (size_t i = 0; i < count; ++i)
        if (bytes[i] >= 0x80) ascii = false;
    if (ascii) {
        name.assign(bytes, bytes + count);
        return true;
    }
    UINT codePage = (flags & kFlagUtf8) ? CP_UTF8 : CP_OEMCP;
    DWORD strict = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const char* text = reinterpret_cast<const char*>(bytes);
    int n = MultiByteToWideChar(codePage, strict, text, static_cast<int>(count), nullptr, 0);
    if (n <= 0) return false;
    name.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(codePage, strict, text, static_cast<int>(count), name.data(), n) == n;
}

}  // namespace zip::format
