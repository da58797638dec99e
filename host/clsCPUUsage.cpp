#include "clsCPUUsage.h"

#include <cstring>
#include <vector>

namespace {

// The system information records as the meter reads them (pointer-sized fields where the
// system has them, so both builds ask with the size the system expects).
struct BasicInformation {
    ULONG Reserved;
    ULONG TimerResolution;
    ULONG PageSize;
    ULONG NumberOfPhysicalPages;
    ULONG LowestPhysicalPageNumber;
    ULONG HighestPhysicalPageNumber;
    ULONG AllocationGranularity;
    ULONG_PTR MinimumUserModeAddress;
    ULONG_PTR MaximumUserModeAddress;
    ULONG_PTR ActiveProcessorsAffinityMask;
    CCHAR NumberOfProcessors;
};

constexpr ULONG kBasicClass = 0;
constexpr ULONG kPerformanceClass = 2;
constexpr ULONG kTimeOfDayClass = 3;
constexpr ULONG kPerformanceSize = 312;
constexpr ULONG kTimeOfDaySize = 32;

using NtQueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

LONG SystemQuery(ULONG infoClass, void* buffer, ULONG length) {
    static NtQueryFn query = [] {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll ? reinterpret_cast<NtQueryFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")))
                     : nullptr;
    }();
    if (!query) return -1;
    return query(infoClass, buffer, length, nullptr);
}

constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);

// The performance record: 312 bytes as the older systems define it; a system whose record
// has grown since is asked again with room for it. The idle time leads either way.
LONG QueryPerformance(const SystemInformationQuery& query, std::vector<BYTE>& buffer) {
    buffer.assign(kPerformanceSize, 0);
    LONG status = query(kPerformanceClass, buffer.data(), static_cast<ULONG>(buffer.size()));
    if (status == kLengthMismatch) {
        buffer.assign(4096, 0);
        status = query(kPerformanceClass, buffer.data(), static_cast<ULONG>(buffer.size()));
    }
    return status;
}

int64_t ReadCount(const BYTE* bytes) {
    int64_t value = 0;
    std::memcpy(&value, bytes, sizeof(value));
    return value;
}

// num / den rounded to the nearest whole number, ties to even; den > 0.
int64_t DivideRoundingEven(int64_t num, int64_t den) {
    int64_t q = num / den;
    int64_t r = num % den;
    if (r < 0) {
        r += den;
        --q;
    }
    // Now num = q * den + r with 0 <= r < den.
    const int64_t twice = 2 * r;
    if (twice > den || (twice == den && (q % 2 != 0))) ++q;
    return q;
}

// Floor of a fixed-point number with four decimals.
int64_t FloorFixed(int64_t fixed) {
    int64_t q = fixed / 10000;
    if (fixed % 10000 != 0 && fixed < 0) --q;
    return q;
}

bool GetVersionRecord(OSVERSIONINFOW& info) {
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    // The service-pack text starts out blank, as the record is handed over.
    for (wchar_t& c : info.szCSDVersion) c = L' ';
    info.szCSDVersion[127] = L'\0';
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExW(&info) != FALSE;
#pragma GCC diagnostic pop
}

}  // namespace

bool IsNT() {
    OSVERSIONINFOW info;
    if (!GetVersionRecord(info)) return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool IsWinXPOrLaterFor(DWORD platformId, DWORD major, DWORD minor) {
    if (platformId == VER_PLATFORM_WIN32_NT) {
        if (major == 5) return minor >= 1;
        return major > 5;
    }
    return platformId > VER_PLATFORM_WIN32_NT;
}

bool IsWinXPOrLater() {
    OSVERSIONINFOW info;
    if (!GetVersionRecord(info)) return false;
    return IsWinXPOrLaterFor(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

std::unique_ptr<CPUUsageMeter> CreateCPUUsageMeter() {
    if (IsNT()) return std::make_unique<clsCPUUsageNT>();
    return std::make_unique<clsCPUUsage>();
}

// ---- clsCPUUsageNT ----

clsCPUUsageNT::clsCPUUsageNT() : query_(SystemQuery) {}
clsCPUUsageNT::clsCPUUsageNT(SystemInformationQuery query) : query_(std::move(query)) {}

void clsCPUUsageNT::Initialize() {
    BYTE timeOfDay[kTimeOfDaySize] = {};
    std::vector<BYTE> performance;
    if (query_(kTimeOfDayClass, timeOfDay, sizeof(timeOfDay)) != 0) return;
    if (QueryPerformance(query_, performance) != 0) return;
    lastIdleTime_ = ReadCount(performance.data());
    lastSystemTime_ = ReadCount(timeOfDay + 8);
}

long clsCPUUsageNT::Query() {
    BasicInformation basic{};
    BYTE timeOfDay[kTimeOfDaySize] = {};
    std::vector<BYTE> performance;
    if (query_(kBasicClass, &basic, sizeof(basic)) != 0) return -1;
    if (query_(kTimeOfDayClass, timeOfDay, sizeof(timeOfDay)) != 0) return -1;
    if (QueryPerformance(query_, performance) != 0) return -1;

    const int64_t idle = ReadCount(performance.data());
    const int64_t now = ReadCount(timeOfDay + 8);
    const long load = LoadFrom(idle - lastIdleTime_, now - lastSystemTime_, basic.NumberOfProcessors);
    lastIdleTime_ = idle;
    lastSystemTime_ = now;
    return load;
}

long clsCPUUsageNT::LoadFrom(int64_t idleDifference, int64_t timeDifference, int processors) {
    // Fixed point with four decimals throughout: a count of 100 ns divided by 10,000 is the
    // same number read as such a value.
    if (processors < 1) processors = 1;
    int64_t ratio;  // idle share, fixed point
    if (timeDifference != 0) {
        if (timeDifference < 0) {
            idleDifference = -idleDifference;
            timeDifference = -timeDifference;
        }
        ratio = DivideRoundingEven(idleDifference * 10000, timeDifference);
    } else {
        ratio = idleDifference;
    }
    const int64_t value = 1000000 - DivideRoundingEven(ratio * 100, processors) + 5000;
    return static_cast<long>(FloorFixed(value));
}

// ---- clsCPUUsage (Windows 9x) ----

clsCPUUsage::~clsCPUUsage() {
    if (key_) RegCloseKey(key_);
}

void clsCPUUsage::Initialize() {
    HKEY start = nullptr;
    if (RegOpenKeyExW(HKEY_DYN_DATA, L"PerfStats\\StartStat", 0, KEY_ALL_ACCESS, &start) == ERROR_SUCCESS) {
        DWORD length = sizeof(data_);
        DWORD type = 0;
        // Reading the value starts the system's statistic.
        RegQueryValueExW(start, L"KERNEL\\CPUUsage", nullptr, &type, data_, &length);
        RegCloseKey(start);
    }
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
    RegOpenKeyExW(HKEY_DYN_DATA, L"PerfStats\\StatData", 0, KEY_READ, &key_);
}

long clsCPUUsage::Query() {
    if (key_) {
        dataLength_ = sizeof(data_);
        RegQueryValueExW(key_, L"KERNEL\\CPUUsage", nullptr, &type_, data_, &dataLength_);
    }
    return data_[0];
}

void clsCPUUsage::Terminate() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
    HKEY stop = nullptr;
    if (RegOpenKeyExW(HKEY_DYN_DATA, L"PerfStats\\StopStat", 0, KEY_ALL_ACCESS, &stop) == ERROR_SUCCESS) {
        DWORD length = sizeof(data_);
        DWORD type = 0;
        RegQueryValueExW(stop, L"KERNEL\\CPUUsage", nullptr, &type, data_, &length);
        RegCloseKey(stop);
    }
}
