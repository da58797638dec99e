// How long the user waits for the chooser's list: from the shell's call of the hook to the
// list on screen, with the chooser's server not running (cold) and still running from the
// request before (warm), next to starting a bare program that shows a window with a report
// list view of the same rows. The suite's archive is a real user's size (a 20,000-line program
// list, a snapshot of 5,000 extensions, 200 override lines, 50 aliases); the data read of one
// request is also timed on its own, next to the whole unpack it replaced. Run under Wine with a
// display (xvfb-run).
//   chooser_bench.exe [requests]     (cold requests: a quarter of that, each waits for the
//                                     chooser of the one before to end)
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "ChooserTestSupport.h"
#include "E2ESupport.h"
#include "MorvaKestrow.h"
#include "basAliases.h"
#include "basChooserData.h"
#include "basData.h"
#include "basUserChoices.h"
#include "com/ComModule.h"
#include "vb/VbApp.h"
#include "../bench/BenchSupport.h"

namespace {

// Milliseconds, as this benchmark reports its times.
double Now() { return benchsupport::Now() * 1000.0; }

HWND WaitVisible(const wchar_t* caption, DWORD timeoutMs = 30000) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND w = FindWindowW(nullptr, caption);
        if (w && IsWindowVisible(w)) return w;
        Sleep(1);
    }
    return nullptr;
}

void WaitNoChusel() { choosertest::WaitForChuselProcesses(0, 40000); }

// One request through the hook; answers the milliseconds until the list was on screen.
double TimeOneRequest(const e2e::Suite& suite, const std::wstring& caption) {
    std::atomic<double> started{0};
    std::thread shell([&] {
        CoInitialize(nullptr);
        started = Now();
        e2e::PlayShell(suite.Doc(L"letter.lxadd"));
        CoUninitialize();
    });
    HWND list = WaitVisible(caption.c_str());
    const double shown = Now();
    if (list) {
        HWND view = FindWindowExW(list, nullptr, L"SysListView32", nullptr);
        PostMessageW(view, WM_KEYDOWN, VK_ESCAPE, 1);
    }
    shell.join();
    return list ? shown - started.load() : -1;
}

double TimeBareStart(const std::wstring& program) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring line = L"\"" + program + L"\"";
    const double start = Now();
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    HWND window = WaitVisible(L"Bare List");
    const double shown = Now();
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(pi.hProcess, 20000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return window ? shown - start : -1;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Report(const char* name, const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) sum += v;
    std::printf("  %-34s median %8.2f ms   mean %8.2f ms   (%zu runs)\n", name, Median(values),
                values.empty() ? 0.0 : sum / static_cast<double>(values.size()), values.size());
}

// The data of one request as the chooser reads it now: the four members in memory.
double TimeDataRead(const std::wstring& archive) {
    ChooserData data;
    const double start = Now();
    const bool ok = LoadChooserDataFrom(archive, data);
    const double ms = Now() - start;
    return ok && data.AddList.UBound() > 0 ? ms : -1;
}

// The same data as every request read it before: the whole archive unpacked into a folder,
// the four files read, and everything deleted again.
double TimeWholeUnpack(const std::wstring& archive, const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    const double start = Now();
    std::vector<std::wstring> written;
    const bool ok = UnpackArchiveInto(archive, folder, &written);
    UseDataFolder(folder);
    GetUserChoices(false);
    GetAliases();
    for (const std::wstring& file : written) DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
    const double ms = Now() - start;
    return ok ? ms : -1;
}

void Ratio(const char* what, double ours, double baseline) {
    std::printf("%s\n", what);
    std::printf("ratio: %.2f\n", baseline > 0 ? ours / baseline : 0.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int requests = argc > 1 ? std::max(1, _wtoi(argv[1])) : 20;
    const int coldRequests = std::max(1, requests / 4);
    CoInitialize(nullptr);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    e2e::Suite suite;
    std::wstring failure;
    if (!e2e::InstallSuite(std::wstring(temp) + L"LumoxBench", suite, failure)) {
        std::printf("cannot install the suite: %ls\n", failure.c_str());
        return 1;
    }
    const std::wstring archive = suite.root + L"\\Data\\TesselMorva.dat";
    std::vector<double> dataRead, wholeUnpack;
    for (int i = 0; i < requests; ++i) {
        double ms = TimeDataRead(archive);
        if (ms >= 0) dataRead.push_back(ms);
        ms = TimeWholeUnpack(archive, std::wstring(temp) + L"LumoxBenchUnpack");
        if (ms >= 0) wholeUnpack.push_back(ms);
    }

    e2e::SwitchOn();
    const std::wstring caption = e2e::ListCaption(L".lxadd");
    const std::wstring bareProgram = vb::AppPath() + L"\\chooser_bench_bare.exe";
    std::vector<double> cold, warm, bare, creation;
    // Cold requests and bare starts take turns, so that both see the same machine.
    for (int i = 0; i < coldRequests; ++i) {
        WaitNoChusel();
        double ms = TimeOneRequest(suite, caption);
        if (ms >= 0) cold.push_back(ms);
        ms = TimeBareStart(bareProgram);
        if (ms >= 0) bare.push_back(ms);
    }
    // The chooser stays a while after a request: each request finds the one before's server.
    TimeOneRequest(suite, caption);  // settle
    for (int i = 0; i < requests; ++i) {
        double ms = TimeOneRequest(suite, caption);
        if (ms >= 0) warm.push_back(ms);
        ms = TimeBareStart(bareProgram);
        if (ms >= 0) bare.push_back(ms);
    }
    // COM's part of a cold request: the creation of an object with no server running.
    for (int i = 0; i < std::min(coldRequests, 3); ++i) {
        WaitNoChusel();
        const double start = Now();
        com::ComPtr<IUnknown> object;
        if (SUCCEEDED(CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                       object.PutVoid())))
            creation.push_back(Now() - start);
    }
    e2e::SwitchOff();
    e2e::RemoveSuite(suite);

    std::printf("Data read of one request (20,000-line program list and 5,000-extension snapshot in the archive):\n");
    Report("four members in memory", dataRead);
    Report("whole archive unpacked (as before)", wholeUnpack);
    std::printf("From the shell's call to the list on screen:\n");
    Report("cold (chooser not running)", cold);
    Report("warm (chooser still running)", warm);
    Report("bare program with a list view", bare);
    Report("COM creation, no server running", creation);
    const double baseline = Median(bare);
    if (baseline <= 0 || cold.empty() || warm.empty() || dataRead.empty()) {
        std::printf("no comparison: a run failed\n");
        return 1;
    }
    Ratio("data read over the 5 ms aim (aim: under 1.00)", Median(dataRead), 5.0);
    Ratio("data read over the whole unpack it replaced", Median(dataRead), Median(wholeUnpack));
    Ratio("cold over COM creation plus bare (aim: within 1.20)", Median(cold), Median(creation) + baseline);
    Ratio("warm over bare (aim: under 0.50)", Median(warm), baseline);
    CoUninitialize();
    return 0;
}
