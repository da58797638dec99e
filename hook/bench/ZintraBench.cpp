// Prints the cost of one execute call with the switch off next to a bare look-up of the
// switch atom. Run: wine zintra_bench.exe [calls]
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "ShellExecHook.h"
#include "basWinAPI_Atom.h"

namespace {

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end, LARGE_INTEGER frequency) {
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    long calls = 1000000;
    if (argc > 1) calls = std::wcstol(argv[1], nullptr, 10);
    if (calls <= 0) calls = 1000000;

    CoInitialize(nullptr);
    Atom(atomGlobalDelete, HookOnAtom);  // switched off

    IShellExecuteHookA* hook = nullptr;
    if (FAILED(zintra::CreateShellExecHook(IID_IShellExecuteHookA, reinterpret_cast<void**>(&hook)))) {
        std::fprintf(stderr, "cannot create the hook\n");
        return 1;
    }

    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_CLASSNAME | SEE_MASK_INVOKEIDLIST;
    info.lpVerb = "open";
    info.lpFile = "C:\\Documents and Settings\\User\\My Documents\\Report for the quarter.txt";
    info.lpDirectory = "C:\\Documents and Settings\\User\\My Documents";
    info.lpClass = "txtfile";
    info.nShow = SW_SHOWNORMAL;

    const std::wstring name = AtomGlobalName(HookOnAtom).ToString();
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);

    // Warm-up.
    for (int i = 0; i < 1000; ++i) hook->Execute(&info);

    QueryPerformanceCounter(&start);
    volatile ATOM sink = 0;
    for (long i = 0; i < calls; ++i) sink = sink + GlobalFindAtomW(name.c_str());
    QueryPerformanceCounter(&end);
    const double bare = Seconds(start, end, frequency) * 1e9 / static_cast<double>(calls);

    QueryPerformanceCounter(&start);
    HRESULT last = S_OK;
    for (long i = 0; i < calls; ++i) last = hook->Execute(&info);
    QueryPerformanceCounter(&end);
    const double execute = Seconds(start, end, frequency) * 1e9 / static_cast<double>(calls);

    hook->Release();
    CoUninitialize();

    std::printf("calls:                   %ld\n", calls);
    std::printf("GlobalFindAtomW:         %.1f ns/call\n", bare);
    std::printf("Execute, switch off:     %.1f ns/call (answer %ld)\n", execute, static_cast<long>(last));
    std::printf("ratio:                   %.2f (goal: under 3)\n", bare > 0 ? execute / bare : 0.0);
    return 0;
}
