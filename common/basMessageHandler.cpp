#include "basMessageHandler.h"

#include <windows.h>

#include <cmath>
#include <utility>

#include "basErrorHandler.h"
#include "basStrings.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"
#include "win/Window.h"

namespace {

MessageOwnerFinder g_ownerFinder = nullptr;

class WindowsPresenter : public MessagePresenter {
public:
    void Beep() override { MessageBeep(MB_OK); }
    int Show(const std::wstring& prompt, long style, const std::wstring& title) override {
        win::ModalScope modal;
        return MessageBoxW(MessageBoxOwner(), prompt.c_str(), title.c_str(), static_cast<UINT>(style) | MB_SETFOREGROUND);
    }
};

WindowsPresenter g_windowsPresenter;
MessagePresenter* g_presenter = &g_windowsPresenter;
MessageRowLookup g_rows = nullptr;
MessageRanges g_ranges;

const wchar_t kCrLf[] = L"\r\n";

// The record every call fills anew.
struct MessageRecord {
    bool Quiet = false;
    double Number = 0;
    long Style = 0;
    std::wstring Text;
    std::wstring Title;
    vb::Variant Result;
};



bool InCatalogueRange(long number) {
    return number >= MessageBase + 4000 && number <= MessageBase + g_ranges.questionLast;
}

bool LookupRow(long n, std::wstring& text, std::wstring& title) {
    if (!g_rows) return false;
    return g_rows(n, text, title);
}

std::wstring NumberText(double number) {
    return std::to_wstring(static_cast<long long>(number));
}

vb::Variant Build(long number, const std::optional<std::wstring>& title, std::wstring* text,
                  const std::optional<bool>& quiet) {
    MessageRecord& m = vb::ThreadInstance<MessageRecord>();
    m = MessageRecord{};
    m.Text = text ? *text : std::wstring();
    m.Title = title ? vb::Trim(*title) : std::wstring();
    m.Quiet = quiet.value_or(false);
    m.Number = InCatalogueRange(number) ? static_cast<double>(number - MessageBase) : static_cast<double>(number);
    const long n = static_cast<long>(m.Number);

    const vb::ErrObject& err = vb::Err();
    bool rangeDone = false;
    if (err.IsCurrent()) {
        m.Style = StyleCritical;
        m.Title = L"Error - " + std::wstring(L" ") + NumberText(m.Number) + L"   :   h0" + vb::Hex(n);
        m.Text = L"Error: " + err.Description + kCrLf + err.Source;
        m.Result = vb::Variant(-1);
        rangeDone = true;
    } else if (n >= 4000 && n <= 4003) {
        std::wstring rowTitle;
        LookupRow(n, m.Text, rowTitle);
        m.Result = vb::Variant(1);
        m.Style = StyleCritical;
        m.Title = m.Title + L"Error - " + L" ";
    } else if (n >= 4500 && n <= g_ranges.informationLast) {
        std::wstring rowTitle;
        if (LookupRow(n, m.Text, rowTitle) && !rowTitle.empty()) m.Title = rowTitle;
        if (m.Title.empty()) m.Title = L"Information";
        m.Style = StyleInformation;
        m.Title += L" ";
    } else if (n >= 5000 && n <= g_ranges.questionLast) {
        std::wstring rowTitle;
        if (LookupRow(n, m.Text, rowTitle) && !rowTitle.empty()) m.Title = rowTitle;
        if (m.Title.empty()) m.Title = L"Question";
        m.Style = StyleQuestion;
        m.Title += L" ";
    } else if (m.Number == 0 || m.Number == 1 || m.Number == 32755) {
        return vb::Variant(vb::Null);
    }

    if (!rangeDone) {
        if (m.Title.empty()) m.Title = L"Error - " + std::wstring(L" ");
        if (m.Number < 0)
            m.Title += L"&" + vb::Hex(n);
        else
            m.Title += NumberText(m.Number);

        if (m.Text.empty()) {
            // A number without a row: the run time's description of it.
            std::wstring description = vb::RuntimeErrorText(n);
            m.Style = StyleCritical;
            if (description.empty()) {
                m.Text = L"Error" + std::wstring(L" number not defined.");
                m.Result = vb::Variant(-2);
            } else {
                m.Text = L"Error: " + description;
                m.Result = vb::Variant(-1);
            }
        }
    }

    MessagePresenter& presenter = *g_presenter;
    if (m.Quiet) {
        if (text) *text = m.Text;
        const vb::Variant& r = m.Result;
        if (r.IsEmpty() || (r.IsNumeric() && r.ToDouble() == 0)) m.Result = vb::Variant(1);
    } else {
        presenter.Beep();
        if (text && vb::StrComp(*text, L"", vb::TextCompare) > 0) {
            m.Result = vb::Variant(presenter.Show(StrWrap(*text, 50), m.Style, m.Title));
        } else if (text) {
            m.Result = vb::Variant(presenter.Show(StrWrap(m.Text, 50), m.Style, m.Title));
        } else {
            int answer = presenter.Show(StrWrap(m.Text, 50), m.Style, m.Title);
            if (m.Result.IsEmpty()) m.Result = vb::Variant(answer);
        }
    }
    return m.Result;
}

}  // namespace

MessagePresenter* SetMessagePresenter(MessagePresenter* presenter) {
    MessagePresenter* previous = g_presenter;
    g_presenter = presenter ? presenter : &g_windowsPresenter;
    return previous == &g_windowsPresenter ? nullptr : previous;
}

MessagePresenter& CurrentMessagePresenter() { return *g_presenter; }

MessageOwnerFinder SetMessageOwnerFinder(MessageOwnerFinder finder) { return std::exchange(g_ownerFinder, finder); }

HWND MessageBoxOwner() {
    const HWND active = GetActiveWindow();
    const HWND frame = g_ownerFinder ? g_ownerFinder() : nullptr;
    if (!frame || !IsWindow(frame)) return active;
    // A dialog of the frame's own is in front: the box goes over it, so that the dialog's owner
    // is not enabled again under the dialog when the box ends.
    if (active && GetAncestor(active, GA_ROOTOWNER) == frame) return active;
    const HWND popup = GetLastActivePopup(frame);
    if (popup && popup != frame && IsWindowVisible(popup) && IsWindowEnabled(popup)) return popup;
    // Another program in front, or the frame hidden in the notification area: the box still
    // belongs to the frame, which stays disabled while the box waits.
    return frame;
}

void SilentPresenter::Beep() {
    if (!silent_() && next_) next_->Beep();
}

int SilentPresenter::Show(const std::wstring& prompt, long style, const std::wstring& title) {
    if (silent_() || !next_) return AnswerOk;
    return next_->Show(prompt, style, title);
}

void SilentPresenter::Install() {
    MessagePresenter* current = &CurrentMessagePresenter();
    if (current == this) return;
    next_ = current;
    SetMessagePresenter(this);
}

void SetMessageRows(MessageRowLookup lookup, MessageRanges ranges) {
    g_rows = lookup;
    g_ranges = ranges;
}

vb::Variant MessageHandler(long number, std::optional<std::wstring> title, std::wstring* text,
                           std::optional<bool> quiet) {
    ProcGuard guard;
    // While an error is current nothing is trapped here: a failure goes to the caller's trap.
    if (vb::Err().IsCurrent()) return Build(number, title, text, quiet);
    try {
        return Build(number, title, text, quiet);
    } catch (...) {
        vb::CaptureCurrentException();
        const vb::ErrObject& err = vb::Err();
        std::wstring prompt = vb::RuntimeErrorText(err.Number);
        if (prompt.empty()) prompt = err.Description;
        try {
            g_presenter->Show(StrWrap(prompt, 50), StyleCritical, L"Error - " + std::to_wstring(err.Number));
        } catch (...) {
        }
        vb::Err().Clear();
        return vb::Variant(-3);
    }
}
