// Times loading the registry association model (extension keys, then association keys with
// their sorting and linking) of a registry of 5,000 extensions and 3,000 associations, next to
// a bare enumeration of the same keys and values. The keys live in a scratch key of this
// process's own, seen as HKEY_CLASSES_ROOT; the settings file goes to a temporary folder.
// Usage: registry_model_bench [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchPresenter.h"
#include "BenchSupport.h"
#include "LibraryMessages.h"
#include "basAssocLinks.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basRegistryModel.h"
#include "vb/VbText.h"
#include "../common/TestSupport.h"

namespace {

using benchsupport::CountingPresenter;
using benchsupport::Now;
using benchsupport::SetString;

std::wstring Numbered(const wchar_t* prefix, int n) { return benchsupport::Numbered(prefix, n, 4); }

const int kExtensions = 5000;
const int kAssociations = 3000;

void BuildRegistry(HKEY classes) {
    for (int a = 0; a < kAssociations; ++a) {
        std::wstring name = Numbered(L"benchfile", a);
        SetString(classes, name, L"", L"Bench document " + std::to_wstring(a));
        SetString(classes, name + L"\\DefaultIcon", L"", L"C:\\Bench\\icons.dll," + std::to_wstring(a));
        SetString(classes, name + L"\\shell\\open\\command", L"", L"\"C:\\Bench\\p" + std::to_wstring(a) + L".exe\" \"%1\"");
    }
    for (int e = 0; e < kExtensions; ++e) {
        std::wstring name = Numbered(L".b", e);
        SetString(classes, name, L"", Numbered(L"benchfile", e % kAssociations));
        SetString(classes, name, L"Content Type", L"application/x-bench");
        if (e % 3 == 0) SetString(classes, name + L"\\ShellNew", L"NullFile", L"");
    }
}

// Every key once, its values read, depth first: what any reader of these keys has to do.
long BareEnumerate(HKEY key) {
    long items = 0;
    DWORD subkeys = 0, longestSub = 0, values = 0, longestName = 0, largestData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSub, nullptr, &values, &longestName,
                         &largestData, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    std::vector<char> name(longestName + 2);
    std::vector<BYTE> data(largestData + 2);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) == ERROR_SUCCESS)
            ++items;
    }
    std::vector<char> sub(longestSub + 2);
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD length = static_cast<DWORD>(sub.size());
        if (RegEnumKeyExA(key, i, sub.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY child;
        if (RegOpenKeyExA(key, sub.data(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
        items += 1 + BareEnumerate(child);
        RegCloseKey(child);
    }
    return items;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    SetMessageRows(LibraryMessageRow);
    CountingPresenter presenter(AnswerOk);
    SetMessagePresenter(&presenter);
    std::wstring folder = testsupport::FreshTempFolder(L"LumoxRegBench");
    SetIniFolderOverride(folder);

    const std::wstring scratch = L"Software\\LumoxBench\\Registry" + std::to_wstring(GetCurrentProcessId());
    testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch);
    HKEY classes;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes,
                        nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot create the scratch key\n");
        return 1;
    }
    std::printf("building %d extensions and %d associations...\n", kExtensions, kAssociations);
    double t0 = Now();
    BuildRegistry(classes);
    std::printf("built in %.2f s\n", Now() - t0);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, classes);

    double bestBare = 1e9, bestModel = 1e9, bestExtensions = 1e9, bestSorts = 1e9;
    long bareItems = 0;
    for (int r = 0; r < rounds; ++r) {
        double start = Now();
        bareItems = BareEnumerate(classes);
        bestBare = std::min(bestBare, Now() - start);

        start = Now();
        LoadRegistryExtensions();
        double extensionsDone = Now();
        LoadRegistryAssociations();
        double end = Now();
        bestModel = std::min(bestModel, end - start);
        bestExtensions = std::min(bestExtensions, extensionsDone - start);

        start = Now();
        SortExtKeys(ExtKeys());
        Sort(ExtKeys());
        Sort(AssocKeys());
        bestSorts = std::min(bestSorts, Now() - start);
    }
    long linked = 0;
    for (size_t i = 1; i < ExtKeys().size(); ++i)
        if (ExtKeys()[i].Link > 0 && !ExtKeys()[i].CmdLine.empty()) ++linked;

    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegCloseKey(classes);
    testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch);
    SetIniFolderOverride(L"");
    testsupport::RemoveTree(folder);
    SetMessagePresenter(nullptr);

    std::printf("bare enumeration: %ld keys and values in %.3f s (best of %d)\n", bareItems, bestBare, rounds);
    std::printf("model load: %zu extensions, %zu associations, %ld linked with a command, in %.3f s\n",
                ExtKeys().size() - 1, AssocKeys().size() - 1, linked, bestModel);
    std::printf("  of which the extension keys with their sorts %.3f s; the three sorts alone %.3f s\n",
                bestExtensions, bestSorts);
    std::printf("messages shown: %d\n", presenter.shown);
    std::printf("ratio: %.2f\n", bestModel / bestBare);
    return 0;
}
