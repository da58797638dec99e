// What the options library's tests share: a small MDI frame on the host's side of the contract,
// a data folder with an archive of the tests' own, and a guard against message boxes that a
// library running outside the test's presenter might open.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "com/ComModule.h"

class frmTesselOptions;
#include "host/FrameAutomation.h"
#include "win/Window.h"

namespace windowtest {

inline constexpr char kPassword[] = "UWLpKEh+";

// An MDI frame with a status bar of four panels; its automation object sits on its window as
// the frame property, as the host's frame does it.
class TestFrame : public win::Window, public FrameSurface {
    HWND client_ = nullptr;

public:
    TestFrame();
    ~TestFrame() override;

    bool IsMdiFrame() const override { return true; }
    void ShowMDIForm() override { ++shownAgain; }
    std::wstring PanelText(int panel) const override { return sta1.PanelText(panel); }
    void SetPanelText(int panel, const std::wstring& text) override {
        sta1.SetPanelText(panel, text);
        panelWrites.push_back(text);
    }
    int WindowState() const override { return win::Window::WindowState(); }
    HWND Handle() const override { return win::Window::Handle(); }
    HWND MdiClient() const override { return client_; }
    void AddMdiChild(HWND window, IDispatch* form) override;
    void RemoveMdiChild(HWND window) override;

    struct Child {
        HWND window;
        com::ComPtr<IDispatch> form;
    };
    std::vector<Child> children;
    std::vector<std::wstring> panelWrites;
    int shownAgain = 0;
    win::StatusBar& sta1;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT SystemMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    com::ComPtr<IDispatch> automation_;
};

// Runs this thread's messages until done() or the time is up; answers done().
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 20000);
void Pump(DWORD milliseconds);

// The frame over the whole screen and in front, so the user's pointer reaches all it shows.
void FillTheScreen(TestFrame& frame);
// The options window shown (in the frame there is); answers whether it became ready, or went
// again, within the time.
bool OpenOptionsWindow(frmTesselOptions*& window, DWORD milliseconds = 20000);
// Closes the options window if one is open, as its close box does, once its load has ended; and
// waits until it has gone.
void CloseOptionsWindow();

// Closes any message box or dialog of this process that stays open longer than a moment,
// counting them: a library showing a box the test cannot answer must not hang the test.
class DialogWatchdog {
public:
    DialogWatchdog();
    ~DialogWatchdog();
    int closed() const { return closed_.load(); }
    std::vector<std::wstring> texts() const;

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> closed_{0};
    std::thread thread_;
};

// The root folder of a library at programFolder ("...\Programs" less that part).
std::wstring DataFolderOf(const std::wstring& root);
// Writes files (name, content) into a new folder and packs them into root\Data\TesselMorva.dat.
void WriteArchive(const std::wstring& root, const std::vector<std::pair<std::wstring, std::string>>& files);
std::string ReadFileBytes(const std::wstring& path);
// A member of the archive as it is now, unpacked into a folder of its own.
std::string ArchivedMember(const std::wstring& archive, const std::wstring& name);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Sets a file's last-write time to now less days (whole days).
void AgeFile(const std::wstring& path, int days);

// A small category file without the marker of the shipped one.
std::string CategoryFile();
// n program lines: statuses cycle OK, NE, WD, SD.
std::string ProgramLines(int n);

// HKLM "...\Morva Utility Manager\4" "Morva Utility Manager First Time".
void SetFirstRun(const wchar_t* value);
std::wstring FirstRunValue();

}  // namespace windowtest
