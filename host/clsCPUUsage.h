// The processor-load meters: clsCPUUsageNT reads the system's idle time (NT family),
// clsCPUUsage the dynamic performance data of Windows 9x. IsNT picks one.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

// Both meters, in this member order.
class CPUUsageMeter {
public:
    virtual ~CPUUsageMeter() = default;
    virtual void Initialize() = 0;
    // The load in percent since the last sample; -1 when there is no value.
    virtual long Query() = 0;
    virtual void Terminate() = 0;
};

bool IsNT();
bool IsWinXPOrLater();
// The version test on its own (platform id, major, minor).
bool IsWinXPOrLaterFor(DWORD platformId, DWORD major, DWORD minor);

// clsCPUUsageNT when IsNT, else clsCPUUsage; not yet initialised.
std::unique_ptr<CPUUsageMeter> CreateCPUUsageMeter();

// NtQuerySystemInformation's shape; tests put their own in place.
using SystemInformationQuery = std::function<LONG(ULONG infoClass, void* buffer, ULONG length)>;

class clsCPUUsageNT : public CPUUsageMeter {
public:
    clsCPUUsageNT();  // the system's NtQuerySystemInformation
    explicit clsCPUUsageNT(SystemInformationQuery query);
    void Initialize() override;
    long Query() override;
    void Terminate() override {}

    // The load formula on its own: differences in units of 100 ns, processor count.
    static long LoadFrom(int64_t idleDifference, int64_t timeDifference, int processors);

private:
    SystemInformationQuery query_;
    // The last sample as fixed-point counts with four decimals (raw count / 10,000).
    int64_t lastIdleTime_ = 0;
    int64_t lastSystemTime_ = 0;
};

class clsCPUUsage : public CPUUsageMeter {
public:
    ~clsCPUUsage() override;
    void Initialize() override;
    long Query() override;
    void Terminate() override;

private:
    HKEY key_ = nullptr;
    BYTE data_[4] = {};
    DWORD dataLength_ = 4;
    DWORD type_ = 0;
};
