// The program scan's tests and benchmark: a stand-in for the options window that runs the scan,
// and trees of small programs with version resources of our own.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ExeScanHost.h"
#include "UiTestForms.h"
#include "vb/VbApp.h"

namespace scantest {

struct CrashDialog {
    std::wstring title;
    bool onlyMailAndCopy;
};

class FakeScanHost : public ExeScanHost {
public:
    FakeScanHost() : form(L"frmTesselOptions", 200, 100) {}
    win::Window& Form() override { return form; }
    void SetInterruptible(bool value) override { interruptible.push_back(value); }
    void ShowCrashRecoveryChoices(const std::wstring& title, bool onlyMailAndCopy) override {
        dialogs.push_back({title, onlyMailAndCopy});
        returnValue = vb::Variant(dialogAnswer);
    }
    vb::Variant ReturnValue() const override { return returnValue; }
    void SetProgramListTimeStamp(const FILETIME& lastWrite) override {
        stamped = true;
        stamp = lastWrite;
    }
    void ShowMDIForm() override { ++framesShown; }
    std::vector<std::wstring> DrivesToScan(bool showCancel) override {
        ++drivesAsked;
        cancelShown = showCancel;
        return drives;
    }

    TestForm form;
    std::vector<std::wstring> drives;
    long dialogAnswer = 2;
    vb::Variant returnValue;
    std::vector<bool> interruptible;
    std::vector<CrashDialog> dialogs;
    bool stamped = false;
    FILETIME stamp{};
    int framesShown = 0;
    int drivesAsked = 0;
    bool cancelShown = false;
};

// The test programs lie beside the running test or benchmark program.
inline std::wstring StubProgram(const std::wstring& name) { return vb::AppPath() + L"\\" + name + L".exe"; }

// Creates the folders of path as needed and copies the stub there.
inline bool PlaceStub(const std::wstring& stub, const std::wstring& path) {
    for (size_t p = path.find(L'\\', 3); p != std::wstring::npos; p = path.find(L'\\', p + 1))
        CreateDirectoryW(path.substr(0, p).c_str(), nullptr);
    return CopyFileW(StubProgram(stub).c_str(), path.c_str(), FALSE) != 0;
}

// A folder at the root of drive C: the user's temporary folder holds "temp" in its path, which
// alone would mark every program found there as normally excluded.
inline std::wstring FreshRootFolder(const std::wstring& name) {
    return L"C:\\" + name + std::to_wstring(GetCurrentProcessId());
}

}  // namespace scantest
