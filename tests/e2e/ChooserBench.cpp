// How long the user waits for the chooser's list: from the shell's call of the hook to the
// list on screen, with the chooser's server not running (cold) and running (warm), over 20
// requests each, next to starting a bare program that shows a window with a report list
// view of the same rows. Run under Wine with a display (xvfb-run).
//   chooser_bench.exe [requests]
#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "E2ESupport.h"
#include "MorvaKestrow.h"
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

int ChuselProcesses() {
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"Chusel.exe") == 0) ++count;
    CloseHandle(snapshot);
    return count;
}

void WaitNoChusel() {
    const DWORD start = GetTickCount();
    while (ChuselProcesses() != 0 && GetTickCount() - start < 20000) Sleep(10);
}

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
    std::printf("  %-34s median %8.1f ms   mean %8.1f ms   (%zu requests)\n", name, Median(values),
                values.empty() ? 0.0 : sum / static_cast<double>(values.size()), values.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int requests = argc > 1 ? std::max(1, _wtoi(argv[1])) : 20;
    CoInitialize(nullptr);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    e2e::Suite suite;
    std::wstring failure;
    if (!e2e::InstallSuite(std::wstring(temp) + L"LumoxBench", suite, failure)) {
        std::printf("cannot install the suite: %ls\n", failure.c_str());
        return 1;
    }
    e2e::SwitchOn();
    const std::wstring caption = e2e::ListCaption(L".lxadd");

    const std::wstring bareProgram = vb::AppPath() + L"\\chooser_bench_bare.exe";
    std::vector<double> cold, warm, bare, creation, processStart;
    // Cold requests and bare starts take turns, so that both see the same machine.
    for (int i = 0; i < requests; ++i) {
        WaitNoChusel();
        double ms = TimeOneRequest(suite, caption);
        if (ms >= 0) cold.push_back(ms);
        ms = TimeBareStart(bareProgram);
        if (ms >= 0) bare.push_back(ms);
    }
    // Where a cold request's time goes: the chooser's process starting on its own (it
    // registers itself and ends), and COM's creation of its object with no server running.
    for (int i = 0; i < 5; ++i) {
        WaitNoChusel();
        double start = Now();
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        std::wstring line = L"\"" + suite.chusel + L"\" /RegServer";
        if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            WaitForSingleObject(pi.hProcess, 20000);
            processStart.push_back(Now() - start);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        start = Now();
        com::ComPtr<IUnknown> object;
        if (SUCCEEDED(CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                       object.PutVoid())))
            creation.push_back(Now() - start);
    }
    {
        // An object of our own keeps the server running between the requests.
        WaitNoChusel();
        com::ComPtr<IUnknown> keepAlive;
        if (FAILED(CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                    keepAlive.PutVoid())))
            std::printf("the chooser could not be created: the warm figures are cold ones\n");
        TimeOneRequest(suite, caption);  // settle
        for (int i = 0; i < requests; ++i) {
            const double ms = TimeOneRequest(suite, caption);
            if (ms >= 0) warm.push_back(ms);
        }
    }
    e2e::SwitchOff();
    WaitNoChusel();
    e2e::RemoveSuite(suite);

    std::printf("From the shell's call to the list on screen:\n");
    Report("cold (chooser not running)", cold);
    Report("warm (chooser running)", warm);
    Report("bare program with a list view", bare);
    std::printf("Of a cold request:\n");
    Report("chooser process run alone", processStart);
    Report("COM creation, no server running", creation);
    const double baseline = Median(bare);
    if (baseline <= 0 || cold.empty() || warm.empty()) {
        std::printf("no comparison: a run failed\n");
        return 1;
    }
    std::printf("cold over bare (aim: within 1.50)\n");
    std::printf("ratio: %.2f\n", Median(cold) / baseline);
    std::printf("warm over bare (aim: under 0.20)\n");
    std::printf("ratio: %.2f\n", Median(warm) / baseline);
    CoUninitialize();
    return 0;
}
