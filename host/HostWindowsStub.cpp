// Stands in for the frame module until its windows exist: the frame is loaded without a
// window, so the start-up still registers the components and builds the product records
// from the registry, and the program then ends.
#include <cstdio>

#include "FrameTimer.h"
#include "HostFrame.h"
#include "ProductSuite.h"

namespace {

class HeadlessToolbar : public HostToolbar {
public:
    int AddButton() override {
        keys_.emplace_back();
        return ButtonCount();
    }
    int ButtonCount() const override { return static_cast<int>(keys_.size()); }
    void SetButtonPictures(int, IPicture*, IPicture*, IPicture*) override {}
    void SetButtonImages(int, const std::wstring&, const std::wstring&, const std::wstring&) override {}
    void SetButtonToolTip(int, const std::wstring&) override {}
    void SetButtonKey(int button, const std::wstring& key) override {
        if (button >= 1 && button <= ButtonCount()) keys_[static_cast<size_t>(button - 1)] = key;
    }
    std::wstring ButtonKey(int button) const override {
        return button >= 1 && button <= ButtonCount() ? keys_[static_cast<size_t>(button - 1)] : std::wstring();
    }
    void SetButtonStyle(int, int) override {}
    void Refresh(int) override {}

private:
    std::vector<std::wstring> keys_{L"Help"};
};

class HeadlessWindows : public HostWindows {
public:
    std::wstring ShowSplash() override { return L""; }
    void LoadFrame() override {
        suite_.GetDLLArributes(toolbar_);
        suite_.GetStandardToolbarButtons(toolbar_);
        std::wprintf(L"Marlden: %zu product(s) in the suite\n", suite_.Products.size());
        suite_.ReleaseAll();
    }
    void ShowLatestVersionTip() override {}
    void ShowFrame() override {}
    HostFrame* Frame() override { return nullptr; }

private:
    HeadlessToolbar toolbar_;
    ProductSuite suite_;
};

}  // namespace

HostWindows& MarldenWindows() {
    static HeadlessWindows windows;
    return windows;
}
