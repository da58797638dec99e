#include "basUserInterface.h"

#include <cmath>
#include <cwchar>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "NeighbourServices.h"
#include "basErrorHandler.h"
#include "basStrings.h"
#include "basWinAPI_DateTime.h"
#include "basWinAPI_Registry.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

long Round(double value) { return std::lround(value); }

long ToWholeNumber(const std::wstring& text, long fallback) {
    std::wstring t = vb::Trim(text);
    if (t.empty()) return fallback;
    wchar_t* end = nullptr;
    long value = std::wcstol(t.c_str(), &end, 10);
    return end && *end == L'\0' ? value : fallback;
}

// A stored number as the run time converts text to a whole number: any number it reads,
// rounded half to even ("1200.5" is 1200). Text that is no number keeps the fallback.
long ToRoundedNumber(const std::wstring& text, long fallback) {
    try {
        return vb::Variant(text).ToLong();
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
        return fallback;
    }
}

}  // namespace

// ---- placement ----

void PlaceForm(win::Window& form, int horizontalMode, int verticalMode, const win::Window* reference,
               double horizontalFraction, double verticalFraction) {
    TrappedVoid(L"PlaceForm", [&] {
        double refLeft = 0, refTop = 0, refWidth = 0, refHeight = 0;
        if (reference && reference->Placed()) {
            refLeft = reference->Left();
            refTop = reference->Top();
            refWidth = reference->Width();
            refHeight = reference->Height();
        } else {
            refWidth = vb::ScreenWidth();
            refHeight = vb::ScreenHeight();
        }
        const double width = form.Width();
        const double height = form.Height();
        double left = 0, top = 0;
        switch (horizontalMode) {
            case phFraction: left = refLeft + (refWidth - width) * horizontalFraction; break;
            case phCentre: left = refLeft + refWidth / 2 - width / 2; break;
            case phRight: left = refLeft + refWidth - width; break;
            default: break;
        }
        switch (verticalMode) {
            case pvFraction: top = refTop + (refHeight - height) * verticalFraction; break;
            case pvCentre: top = refTop + refHeight / 2 - height / 2; break;
            case pvBottom: top = refTop + refHeight - height; break;
            default: break;
        }
        form.Move(Round(left), Round(top));
    });
}

int GetFormWindowState(const win::Window& form) {
    return Trapped(L"GetFormWindowState", [&]() -> int {
        if (!form.IsMdiFrame()) {
            for (win::Control* c : form.Controls())
                if (auto* extender = dynamic_cast<win::MdiExtender*>(c)) return extender->WindowState();
        }
        return form.WindowState();
    });
}

bool GetLoadedForm(std::wstring_view formName) {
    ProcGuard guard;
    try {
        for (win::Window* w : win::Window::LoadedWindows())
            if (vb::TextEquals(w->Name(), formName)) return true;
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
    return false;
}

win::Window* GetTopParent(win::Control& control) { return &control.Form(); }
win::Window* GetTopParent(win::Window& form) { return &form; }

void FormGetSetPosAndSize(short action, win::Window& form) {
    TrappedVoid(L"FormGetSetPosAndSize", [&] {
        const std::wstring name = GetTagProperty(form, L"RegistryName");
        auto read = [&](const wchar_t* value, long current) {
            vb::Variant v = Registry(regGet, L"1", name, vb::Variant(value), std::nullopt,
                                     vb::Variant(current), HKEY_LOCAL_MACHINE, true);
            if (v.IsString()) return ToRoundedNumber(v.ToString(), current);
            return v.IsEmpty() || v.IsNull() ? current : v.ToLong();
        };
        auto save = [&](const wchar_t* value, long number) {
            Registry(regSave, L"1", name, vb::Variant(value), vb::Variant(std::to_wstring(number)));
        };

        if (action == plRestore) {
            const long screenWidth = vb::ScreenWidth();
            const long screenHeight = vb::ScreenHeight();
            long top = read(L"Top", form.Top());
            if (top > screenHeight) top = Round(screenHeight * 0.05);
            long left = read(L"Left", form.Left());
            if (left > screenWidth) left = Round(screenWidth * 0.05);
            long height = read(L"Height", form.Height());
            if (height > screenHeight * 0.9) height = Round(screenHeight * 0.9);
            long width = read(L"Width", form.Width());
            if (width > screenWidth * 0.9) width = Round(screenWidth * 0.9);
            form.Move(left, top, width, height);
            return;
        }
        if (action != plSave) return;

        win::Window* top = GetTopParent(form);
        const int state = GetFormWindowState(top ? *top : form);
        if (state == 0) {
            if (!form.Visible()) return;
            struct Field {
                const wchar_t* value;
                std::optional<long> (win::Window::*normal)() const;
                long (win::Window::*plain)() const;
            };
            const Field fields[] = {
                {L"Top", &win::Window::NormalTop, &win::Window::Top},
                {L"Left", &win::Window::NormalLeft, &win::Window::Left},
                {L"Width", &win::Window::NormalWidth, &win::Window::Width},
                {L"Height", &win::Window::NormalHeight, &win::Window::Height},
            };
            for (const Field& f : fields) {
                try {
                    std::optional<long> number = (form.*f.normal)();
                    save(f.value, number ? *number : (form.*f.plain)());
                } catch (...) {
                    // A value that cannot be read is left as it was saved before.
                    vb::CaptureCurrentException();
                    vb::Err().Clear();
                }
            }
        }
        save(L"WindowState", GetFormWindowState(form));
    });
}

// ---- layout ----

namespace {

std::vector<std::wstring> AnchorsOf(const win::Control& c) {
    std::vector<std::wstring> anchors;
    for (int i = 1; i <= 4; ++i) {
        std::wstring a = GetTagProperty(c, L"ResizeAnchor" + std::to_wstring(i));
        if (a.empty()) break;
        anchors.push_back(a);
    }
    return anchors;
}

win::Rect RectOf(const win::Control& c) { return win::Rect{c.Left(), c.Top(), c.Width(), c.Height()}; }

bool SameRect(const win::Rect& a, const win::Rect& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

// What the layout keeps of a control between layouts: the rectangle every layout starts from and
// the window size (twips) it belongs to, and where the last layout left it at which size.
struct LayoutMemory {
    bool known = false;
    win::Rect from;
    long fromWidth = 0, fromHeight = 0;
    win::Rect placed;
    long placedWidth = 0, placedHeight = 0;
};

// The memories by the controls' windows, on the thread that lays them out. A control whose
// window has gone is forgotten at the next layout of any window.
using LayoutMemories = std::map<HWND, LayoutMemory>;
LayoutMemories& Memories() { return vb::ThreadInstance<LayoutMemories>(); }

void ForgetGoneControls(LayoutMemories& memories) {
    for (auto it = memories.begin(); it != memories.end();)
        it = IsWindow(it->first) ? std::next(it) : memories.erase(it);
}

LayoutMemory* MemoryOf(const win::Control& c) {
    if (!c.HasPosition()) return nullptr;
    auto it = Memories().find(c.Handle());
    return it != Memories().end() && it->second.known ? &it->second : nullptr;
}

}  // namespace

bool HasRoomForLayout(const win::Window& form) {
    const HWND window = form.Handle();
    if (!window) return true;
    // A child of a minimized frame keeps its own state (maximized, say) while the frame has
    // squeezed its client area to nothing.
    const HWND root = GetAncestor(window, GA_ROOT);
    if (root && IsIconic(root)) return false;
    RECT client{};
    if (!GetClientRect(window, &client)) return true;
    return client.right > client.left && client.bottom > client.top;
}

void ResizeControls(win::Window& form) {
    TrappedVoid(L"ResizeControls", [&] {
        if (GetFormWindowState(form) == 1) return;
        // Nothing to fit the controls into: laid out now, they would be squeezed to nothing and
        // the next layout would scale them back from that.
        if (!HasRoomForLayout(form)) return;
        const long formWidth = form.Width();
        const long formHeight = form.Height();
        if (formWidth == form.OldFormWidth && formHeight == form.OldFormHeight) return;
        if (form.OldFormWidth == 0 || form.OldFormHeight == 0) {
            // Nothing to scale from yet: this size is where the next layout starts.
            form.OldFormWidth = formWidth;
            form.OldFormHeight = formHeight;
            return;
        }
        const double tppX = vb::TwipsPerPixelX();
        const double tppY = vb::TwipsPerPixelY();
        const std::vector<win::Control*> controls = form.Controls();
        LayoutMemories& memories = Memories();
        ForgetGoneControls(memories);

        // Each layout starts from the rectangle a control had at a known window size, not from
        // where the previous layout left it, so rounding and the moves Windows refuses at a tiny
        // size never add up. A control seen for the first time, or moved since by other code (or
        // the old size set by hand), starts from where it is now, at the old size.
        for (win::Control* c : controls) {
            if (!c->HasPosition()) continue;
            try {
                LayoutMemory& memory = memories[c->Handle()];
                const win::Rect now = RectOf(*c);
                if (!memory.known || !SameRect(now, memory.placed) || memory.placedWidth != form.OldFormWidth ||
                    memory.placedHeight != form.OldFormHeight) {
                    memory.known = true;
                    memory.from = now;
                    memory.fromWidth = form.OldFormWidth;
                    memory.fromHeight = form.OldFormHeight;
                }
            } catch (...) {
                vb::CaptureCurrentException();
                vb::Err().Clear();
            }
        }

        // The bottom-anchored control furthest from the bottom edge sets the vertical scale. Its
        // distance to the bottom edge stays the same at every size.
        double bottomDistance = 0;
        for (win::Control* c : controls) {
            const LayoutMemory* remembered = MemoryOf(*c);
            if (!remembered) continue;
            const LayoutMemory& memory = *remembered;
            for (const std::wstring& a : AnchorsOf(*c)) {
                if (!vb::TextEquals(a, L"Bottom")) continue;
                const double distance = memory.fromHeight - memory.from.top * tppY;
                if (distance > 0 && distance > bottomDistance) bottomDistance = distance;
            }
        }
        // That control's top (pixels) when the window is so high (twips).
        auto bottomTopAt = [&](double height) { return (height - bottomDistance) / tppY; };

        for (win::Control* c : controls) {
            LayoutMemory* remembered = MemoryOf(*c);
            if (!remembered) continue;
            try {
                LayoutMemory& memory = *remembered;
                const double left = memory.from.left, top = memory.from.top;
                const double width = memory.from.width, height = memory.from.height;
                const double scaleX = static_cast<double>(formWidth) / memory.fromWidth;
                double scaleY = static_cast<double>(formHeight) / memory.fromHeight;
                if (bottomDistance > 0) {
                    const double oldTop = bottomTopAt(memory.fromHeight);
                    if (Round(oldTop) != 0) scaleY = bottomTopAt(formHeight) / oldTop;
                }
                const double dx = formWidth / tppX - memory.fromWidth / tppX;
                const double dy = formHeight / tppY - memory.fromHeight / tppY;

                // Zero means "not set by an anchor".
                double newLeft = 0, newTop = 0, newWidth = 0, newHeight = 0;
                for (const std::wstring& a : AnchorsOf(*c)) {
                    if (vb::TextEquals(a, L"TopAndBottom")) {
                        newTop = top;
                        newHeight = height + dy;
                    } else if (vb::TextEquals(a, L"LeftAndRight")) {
                        newLeft = left;
                        newWidth = width + dx;
                    } else if (vb::TextEquals(a, L"Top")) {
                        newTop = top;
                    } else if (vb::TextEquals(a, L"Left")) {
                        newLeft = left;
                    } else if (vb::TextEquals(a, L"Right")) {
                        newLeft = left + dx;
                    } else if (vb::TextEquals(a, L"Bottom")) {
                        // Pinned to the bottom edge: the control keeps its height, and the
                        // controls above it scale to make room. Scaled like them, it would
                        // reach past the window's bottom edge whenever the window grows.
                        newTop = top + dy;
                        if (newHeight == 0) newHeight = height;
                    }
                }
                bool inherited = false;
                const std::wstring fixed = GetTagProperty(*c, L"FixedSize", &inherited, L"False", true);
                if (inherited) continue;
                const bool fixedSize = vb::TextEquals(fixed, L"True");
                if (newTop == 0) newTop = top * scaleY;
                if (newLeft == 0) newLeft = left * scaleX;
                if (newWidth == 0) newWidth = fixedSize ? width : width * scaleX;
                if (newHeight == 0) newHeight = fixedSize ? height : height * scaleY;
                try {
                    c->Move(Round(newLeft), Round(newTop), Round(newWidth), Round(newHeight));
                } catch (...) {
                    // A size Windows cannot take (a negative one, in a window too small): the
                    // control stays where it is, and the next layout starts from its rectangle.
                    vb::CaptureCurrentException();
                    vb::Err().Clear();
                }
                memory.placed = RectOf(*c);
                memory.placedWidth = formWidth;
                memory.placedHeight = formHeight;
            } catch (...) {
                // One control that cannot move must not stop the others.
                vb::CaptureCurrentException();
                vb::Err().Clear();
            }
        }
        form.OldFormWidth = formWidth;
        form.OldFormHeight = formHeight;
    });
}

void ListViewAutoSizeColumns(win::ListView& list, bool hideWhileSizing, int firstColumn) {
    ProcGuard guard;
    bool hidden = false;
    try {
        if (list.View() != 3) return;
        if (hideWhileSizing) {
            list.SetVisible(false);
            hidden = true;
        }
        const int columns = list.ColumnCount();
        for (int i = firstColumn < 0 ? 0 : firstColumn; i < columns; ++i) list.SetColumnWidth(i, LVSCW_AUTOSIZE_USEHEADER);
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
    // A failed sizing must not leave the list out of sight.
    if (!hidden) return;
    try {
        list.SetVisible(true);
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
}

void ScrollToLeft(win::Control& control) {
    TrappedVoid(L"ScrollToLeft", [&] {
        if (control.Handle()) SendMessageW(control.Handle(), WM_HSCROLL, MAKEWPARAM(SB_PAGELEFT, 0), 0);
    });
}

// ---- status bar ----

namespace {
struct Throttle {
    bool busy = false;
    bool shownOnce = false;
    SYSTEMTIME lastShown{};
    SYSTEMTIME current{};
    long lastDifference = 0;
};
Throttle& StatusThrottle() {
    static Throttle t;
    return t;
}
SYSTEMTIME (*g_statusClock)() = nullptr;

long Milliseconds(const SYSTEMTIME& d) {
    return ((((static_cast<long>(d.wDay) * 24 + d.wHour) * 60 + d.wMinute) * 60 + d.wSecond) * 1000) +
           d.wMilliseconds;
}
}  // namespace

void SetStatusClock(SYSTEMTIME (*clock)()) { g_statusClock = clock; }
void ResetStatusThrottle() { StatusThrottle() = Throttle{}; }

bool ShowStatus(long panel, const std::wstring& text, bool hourglass, bool force) {
    Throttle& t = StatusThrottle();
    if (t.busy) return false;
    ProcGuard guard;
    t.busy = true;
    bool answer = true;
    try {
        if (g_statusClock)
            t.current = g_statusClock();
        else
            GetLocalTime(&t.current);
        t.lastDifference = t.shownOnce ? Milliseconds(SystemTimeDiff(t.lastShown, t.current)) : 250;
        win::StatusBar* bar = HostStatusBar();
        if (!bar) {
            // No host frame in this process: there is nowhere to show it.
            answer = false;
        } else {
            const std::wstring old = bar->PanelText(panel);
            const bool emptinessChanges = old.empty() != text.empty();
            if (force || t.lastDifference >= 250 || emptinessChanges) {
                t.lastShown = t.current;
                t.shownOnce = true;
                bar->SetPanelText(panel, text);
                vb::DoEvents();
                if (hourglass) vb::SetScreenMousePointer(text.empty() ? vb::vbDefault : vb::vbHourglass);
            }
        }
    } catch (...) {
        TrapError(L"ShowStatus");
    }
    t.busy = false;
    return answer;
}

std::wstring NormalizeExtension(std::wstring_view extension) {
    return Trapped(L"NormalizeExtension", [&] {
        std::wstring ext = vb::Trim(extension);
        if (ext.empty() || ext[0] != L'.') ext.insert(ext.begin(), L'.');
        ext = ext.substr(ext.rfind(L'.'));
        return StripChrs(ext, L"\\/:*?\"<>|=", true);
    });
}

// ---- group switching ----

namespace {
// The control that had the focus when each window's controls were switched off.
std::map<HWND, HWND>& RememberedFocus() {
    static std::map<HWND, HWND> focus;
    return focus;
}
bool RecordedFalse(const win::Control& c) { return vb::TextEquals(GetTagProperty(c, L"Enabled"), L"False"); }
}  // namespace

bool CanReceiveFocus(const win::Control& control) {
    try {
        const bool visible = control.Visible();
        (void)control.Enabled();
        return visible;
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
        return false;
    }
}

bool SetControlsEnabled(win::Window& form, bool enable) {
    ProcGuard guard;
    bool acted = false;
    try {
        const long count = ToWholeNumber(GetTagProperty(form, L"ControlsEnabled", nullptr, L"0"), 0);
        const std::vector<win::Control*> controls = form.Controls();
        if (!enable) {
            if (count == 0) {
                RememberedFocus()[form.Handle()] = GetFocus();
                // Containers are among the controls and go off in this same pass: only one that
                // was off before it counts as disabled when its disabled child is recorded.
                std::set<const win::Control*> offBefore;
                for (win::Control* c : controls)
                    if (CanReceiveFocus(*c) && !c->Enabled()) offBefore.insert(c);
                bool containerEnabled = false;
                for (win::Control* c : controls) {
                    if (!CanReceiveFocus(*c)) continue;
                    try {
                        if (c->Enabled()) {
                            c->SetEnabled(false);
                            continue;
                        }
                        // A disabled control stays disabled when the controls come back on. Its
                        // disabled containers are switched on here (so their records are kept
                        // too) and switched off again below.
                        SetTagProperty(*c, L"Enabled", L"False");
                        try {
                            for (win::Control* p = c->Container(); p; p = p->Container()) {
                                if (p->Enabled() || !offBefore.count(p)) continue;
                                p->SetEnabled(true);
                                SetTagProperty(*p, L"Enabled", L"False");
                                containerEnabled = true;
                            }
                        } catch (...) {
                            vb::CaptureCurrentException();
                            vb::Err().Clear();
                        }
                    } catch (...) {
                        vb::CaptureCurrentException();
                        vb::Err().Clear();
                    }
                }
                if (containerEnabled) {
                    for (win::Control* c : controls) {
                        if (!CanReceiveFocus(*c)) continue;
                        if (RecordedFalse(*c) && c->Enabled()) c->SetEnabled(false);
                    }
                }
                acted = true;
            }
            SetTagProperty(form, L"ControlsEnabled", std::to_wstring(count + 1));
        } else {
            if (count == 1) {
                for (win::Control* c : controls) {
                    if (!CanReceiveFocus(*c)) continue;
                    try {
                        if (RecordedFalse(*c))
                            SetTagProperty(*c, L"Enabled", L"");
                        else
                            c->SetEnabled(true);
                    } catch (...) {
                        vb::CaptureCurrentException();
                        vb::Err().Clear();
                    }
                }
                form.Refresh();
                auto it = RememberedFocus().find(form.Handle());
                if (it != RememberedFocus().end()) {
                    if (it->second && IsWindow(it->second)) ::SetFocus(it->second);
                    RememberedFocus().erase(it);
                }
                acted = true;
            }
            SetTagProperty(form, L"ControlsEnabled", std::to_wstring(count - 1));
        }
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
    return acted;
}

bool SetControlEnabled(win::Window& form, win::Control& control, bool enable) {
    return Trapped(L"SetControlEnabled", [&] {
        if (!CanReceiveFocus(control)) return false;
        const long count = ToWholeNumber(GetTagProperty(form, L"ControlsEnabled", nullptr, L"0"), 0);
        if (count == 0)
            control.SetEnabled(enable);
        else
            SetTagProperty(control, L"Enabled", enable ? L"True" : L"False");
        return true;
    });
}
