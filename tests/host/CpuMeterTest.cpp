// The CPU meters: the NT meter's formula and its samples through an injected system query,
// the version tests, and the real meter of this system.
#include <gtest/gtest.h>

#include <cstring>

#include "clsCPUUsage.h"

namespace {

// Plays NtQuerySystemInformation: basic, time-of-day and performance records from set values.
struct FakeSystem {
    int64_t idle = 0;
    int64_t now = 0;
    int processors = 1;
    ULONG failClass = 99;
    int calls = 0;

    SystemInformationQuery Query() {
        return [this](ULONG infoClass, void* buffer, ULONG length) -> LONG {
            ++calls;
            if (infoClass == failClass) return static_cast<LONG>(0xC0000001);
            std::memset(buffer, 0, length);
            BYTE* bytes = static_cast<BYTE*>(buffer);
            switch (infoClass) {
                case 0:  // the processor count is the record's last field
                    bytes[length - sizeof(void*)] = static_cast<BYTE>(processors);
                    return 0;
                case 2:
                    if (length < 312) return static_cast<LONG>(0xC0000004);
                    std::memcpy(bytes, &idle, 8);
                    return 0;
                case 3:
                    std::memcpy(bytes + 8, &now, 8);
                    return 0;
            }
            return static_cast<LONG>(0xC0000003);
        };
    }
};

}  // namespace

TEST(CpuMeter, LoadFormula) {
    struct Case {
        int64_t idle, time;
        int processors;
        long load;
    };
    const Case cases[] = {
        {0, 10000000, 1, 100},
        {10000000, 10000000, 1, 0},
        {5000000, 10000000, 1, 50},
        {9950000, 10000000, 1, 1},     // 0.995 idle: 100 - 99.5 + 0.5 = 1
        {9960000, 10000000, 1, 0},
        {1, 3, 1, 67},                 // ratio rounded to 0.3333
        {10000000, 10000000, 2, 50},   // half of two processors idle
        {20000000, 10000000, 1, -100}, // Int rounds toward minus infinity
        {0, 0, 1, 100},                // no time passed: the idle count itself stands as the ratio
        {10000, 0, 1, 0},
        {5000000, 10000000, 0, 50},    // a processor count of 0 counts as one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.idle << " / " << c.time << " on " << c.processors);
        EXPECT_EQ(clsCPUUsageNT::LoadFrom(c.idle, c.time, c.processors), c.load);
    }
}

TEST(CpuMeter, SamplesAgainstTheLastGoodOne) {
    FakeSystem system;
    system.idle = 1000000;
    system.now = 50000000;
    clsCPUUsageNT meter(system.Query());
    meter.Initialize();

    system.idle += 2500000;  // a quarter of the second idle
    system.now += 10000000;
    EXPECT_EQ(meter.Query(), 75);

    // A failing query answers -1 and keeps the last sample.
    system.idle += 10000000;
    system.now += 10000000;
    system.failClass = 2;
    EXPECT_EQ(meter.Query(), -1);
    system.failClass = 99;
    system.idle += 0;
    system.now += 10000000;
    EXPECT_EQ(meter.Query(), 50);  // idle 1 s of the 2 s since the kept sample
}

TEST(CpuMeter, ProcessorCountFromTheBasicRecord) {
    FakeSystem system;
    system.processors = 4;
    clsCPUUsageNT meter(system.Query());
    meter.Initialize();
    system.idle += 20000000;  // two processors' worth of idle in one second
    system.now += 10000000;
    EXPECT_EQ(meter.Query(), 50);
}

TEST(CpuMeter, WindowsVersionTests) {
    struct Case {
        DWORD platform, major, minor;
        bool xpOrLater;
    };
    const Case cases[] = {
        {VER_PLATFORM_WIN32_NT, 5, 1, true},  {VER_PLATFORM_WIN32_NT, 5, 0, false},
        {VER_PLATFORM_WIN32_NT, 6, 0, true},  {VER_PLATFORM_WIN32_NT, 4, 0, false},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, false}, {3, 0, 0, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsWinXPOrLaterFor(c.platform, c.major, c.minor), c.xpOrLater)
            << c.platform << " " << c.major << "." << c.minor;
    EXPECT_TRUE(IsNT());
}

TEST(CpuMeter, TheSystemsMeterGivesALoad) {
    std::unique_ptr<CPUUsageMeter> meter = CreateCPUUsageMeter();
    ASSERT_NE(dynamic_cast<clsCPUUsageNT*>(meter.get()), nullptr);
    meter->Initialize();
    Sleep(200);
    const long load = meter->Query();
    EXPECT_NE(load, -1);
    EXPECT_LE(load, 100);
    meter->Terminate();
}
