// Windows and their controls: a thin, non-owning layer over HWNDs. A window keeps its
// named controls in creation order; each control carries a tag text and knows its container.
// A window's outer position and size are in twips; controls are measured in pixels inside
// their container's client area, as the suite's forms measure them.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/TagHolder.h"
#include "vb/VbThreadState.h"

namespace win {

class Window;

// How many modal loops of this module wait on the calling thread: a modal window's loop and a
// message box each count one while they run. Code reached from a plain message (a tray command,
// a timer) asks this before it closes windows that such a loop may still be using.
int ModalDepth();

// How a caption is matched against a menu item's text ("&" marks included).
enum class CaptionMatch { Whole, Start };
// The position of the first item of the menu whose caption matches; -1 when none does.
int MenuPositionByCaption(HMENU menu, const std::wstring& caption, CaptionMatch match = CaptionMatch::Whole);
// The close box of the MDI frame's maximized child, which Windows lays at the end of the frame's
// menu bar as the item SC_CLOSE: its rectangle on the screen. False when the bar shows none.
bool MdiChildCloseItemRect(HWND frame, RECT& onScreen);

// Counts one modal loop for as long as it lives.
class ModalScope {
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

// Pixel rectangle of a control inside its container.
struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
};

class Control : public TagHolder {
public:
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    ~Control() override = default;

    const std::wstring& Name() const { return name_; }
    int Index() const { return index_; }  // place in a control array; -1 when not in one
    HWND Handle() const { return hwnd_; }
    Window& Form() const { return form_; }
    Control* Container() const { return container_; }  // frame or picture box; nullptr for the window

    std::wstring Tag() const override { return tag_; }
    void SetTag(const std::wstring& tag) override { tag_ = tag; }
    TagHolder* TagContainer() const override;

    // Controls without a window of their own (timers, extenders) have no position and no
    // state: reading one raises "Object doesn't support this property".
    bool HasPosition() const { return hwnd_ != nullptr; }
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void Move(int left, int top, int width, int height);

    bool Visible() const;
    void SetVisible(bool visible);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    std::wstring Text() const;
    void SetText(const std::wstring& text);  // the window hears of a change (OnTextChanged)
    void SetFocus();

    // Messages the window routes to the control that sent them.
    virtual void OnCommand(WORD /*code*/) {}
    virtual LRESULT OnNotify(NMHDR* /*header*/) { return 0; }

protected:
    Control(Window& form, Control* container, std::wstring name, int index);
    HWND CreateChild(const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle,
                     const Rect& rect);
    HWND ParentHandle() const;
    void RequireWindow() const;

    HWND hwnd_ = nullptr;

private:
    friend class Window;
    Window& form_;
    Control* container_;
    std::wstring name_;
    int index_;
    std::wstring tag_;
};

class Label : public Control {
public:
    Label(Window& form, Control* container, std::wstring name, int index, const std::wstring& text, const Rect& r,
          DWORD style = SS_LEFT);
};

class Button : public Control {
public:
    Button(Window& form, Control* container, std::wstring name, int index, const std::wstring& text, const Rect& r,
           DWORD style = BS_PUSHBUTTON);
    void Click();  // as the user would: the window's Click handler runs
    std::function<void()> OnClick;
    void OnCommand(WORD code) override;
};

class CheckBox : public Button {
public:
    CheckBox(Window& form, Control* container, std::wstring name, int index, const std::wstring& text,
             const Rect& r);
    bool Checked() const;
    void SetChecked(bool checked);
};

// A radio button; the buttons of one container form one group.
class OptionButton : public Button {
public:
    OptionButton(Window& form, Control* container, std::wstring name, int index, const std::wstring& text,
                 const Rect& r);
    bool Checked() const;
    void SetChecked(bool checked);  // unchecks the group's other option buttons, as a click would
};

class TextBox : public Control {
public:
    TextBox(Window& form, Control* container, std::wstring name, int index, const std::wstring& text, const Rect& r,
            DWORD style = ES_AUTOHSCROLL);
};

// Frame or picture box: a control that holds others. Notifications of the controls inside
// pass on to the window.
class Container : public Control {
public:
    Container(Window& form, Control* container, std::wstring name, int index, const std::wstring& caption,
              const Rect& r, bool framed);
    // A picture shown in the box (not owned; system icons and cursors need no release).
    void SetIcon(HICON icon);

private:
    HWND picture_ = nullptr;
};

class ProgressBar : public Control {
public:
    ProgressBar(Window& form, Control* container, std::wstring name, int index, const Rect& r);
    void SetRange(int minimum, int maximum);
    void SetValue(int value);
    int Value() const;
};

// Report-style list view by default; View() answers 3 (report) as the list-view control numbers it.
class ListView : public Control {
public:
    ListView(Window& form, Control* container, std::wstring name, int index, const Rect& r, bool checkBoxes,
             DWORD style = LVS_REPORT | LVS_SHOWSELALWAYS);
    int View() const;  // 0 icon, 1 small icon, 2 list, 3 report
    int AddColumn(const std::wstring& header, int width);
    int ColumnCount() const;
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    std::wstring ColumnHeader(int column) const;
    void SetColumnHeader(int column, const std::wstring& header);
    int AddItem(const std::wstring& text);  // index of the new row
    void SetSubItem(int item, int column, const std::wstring& text);
    std::wstring ItemText(int item, int column = 0) const;
    int Count() const;
    bool Checked(int item) const;
    void SetChecked(int item, bool checked);
    void ClearCurrent();  // no row selected or focused
    void Clear();
    bool Selected(int item) const;
    void SetSelected(int item, bool selected);
    // The first selected row; -1 when none is.
    int SelectedRow() const;
    // A click on a row (-1: on no row).
    std::function<void(int item)> OnItemClick;
    // A row's check mark changed (by the user or by code).
    std::function<void(int item)> OnItemCheck;
    LRESULT OnNotify(NMHDR* header) override;
};

// Panels are numbered from 1.
class StatusBar : public Control {
public:
    StatusBar(Window& form, std::wstring name, int panels);
    virtual std::wstring PanelText(long panel) const;
    virtual void SetPanelText(long panel, const std::wstring& text);
    // The tool tip shown while the pointer rests on a panel ("" for none). The tips follow the
    // panels once RefreshToolTips runs after the panels were laid out again.
    void SetPanelToolTip(long panel, const std::wstring& text);
    std::wstring PanelToolTip(long panel) const;
    void RefreshToolTips();

protected:
    // A status bar of another module, reached through its owner's automation object.
    StatusBar(Window& form, std::wstring name) : Control(form, nullptr, std::move(name), -1) {}

private:
    HWND tips_ = nullptr;               // owned by the bar: goes with it
    std::vector<std::wstring> tipTexts_;  // by panel, from 1
};

// The MDI extender: makes a form a child of the host frame. Only its parent form and the
// form's state as a child of that frame are used; the host supplies the real one.
class MdiExtender : public Control {
public:
    virtual Window* ParentForm() const = 0;
    virtual int WindowState() const = 0;

protected:
    MdiExtender(Window& form, std::wstring name) : Control(form, nullptr, std::move(name), -1) {}
};

// A top-level or child window. The object outlives its HWND: Unload destroys the window,
// and the controls with it; Loaded tells whether it currently exists.
class Window : public TagHolder {
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window() override;

    const std::wstring& Name() const { return name_; }
    HWND Handle() const { return hwnd_; }
    bool Loaded() const { return hwnd_ != nullptr; }

    std::wstring Tag() const override { return tag_; }
    void SetTag(const std::wstring& tag) override { tag_ = tag; }
    TagHolder* TagContainer() const override { return nullptr; }

    // Outer position and size in twips (screen coordinates, or the parent's client area for a child).
    // A stand-in for a window of another module answers those of that window.
    virtual long Left() const;
    virtual long Top() const;
    virtual long Width() const;
    virtual long Height() const;
    // Whether Left, Top, Width and Height describe a window that is there.
    virtual bool Placed() const { return Loaded(); }
    void Move(long left, long top, std::optional<long> width = std::nullopt,
              std::optional<long> height = std::nullopt);

    std::wstring Caption() const;
    void SetCaption(const std::wstring& caption);
    bool Visible() const;
    // Loaded and out of sight only because its owner is minimized: it shows again when the owner
    // comes back.
    bool HiddenWithItsOwner() const { return Loaded() && hiddenWithOwner_; }
    void Show();
    void Hide();
    // Shows the window and keeps the caller here until it is hidden or unloaded; the thread's
    // other windows take no input meanwhile.
    void ShowModal();
    void Unload();
    // Unloads once the message being handled has returned: a button's own click cannot pull the
    // button from under itself.
    void UnloadSoon();
    void Refresh();

    int WindowState() const;  // 0 normal, 1 minimised, 2 maximised
    void SetWindowState(int state);
    virtual bool IsMdiFrame() const { return false; }
    // A form shown inside the host frame through its MDI extender.
    virtual bool IsMdiChild() const;

    std::vector<Control*> Controls() const;
    Control* ControlByName(std::wstring_view name, int index = -1) const;
    template <class T>
    T* Find(std::wstring_view name, int index = -1) const {
        return dynamic_cast<T*>(ControlByName(name, index));
    }
    Control* ControlFromHandle(HWND hwnd) const;
    Control* ActiveControl() const;

    // Layout state that the layout procedures read and write by name.
    long OldFormWidth = 0;
    long OldFormHeight = 0;
    // Placement while neither minimised nor maximised; forms that track it answer it.
    virtual std::optional<long> NormalTop() const { return std::nullopt; }
    virtual std::optional<long> NormalLeft() const { return std::nullopt; }
    virtual std::optional<long> NormalWidth() const { return std::nullopt; }
    virtual std::optional<long> NormalHeight() const { return std::nullopt; }

    // The windows of this thread that are loaded now, in creation order.
    static std::vector<Window*> LoadedWindows();

protected:
    explicit Window(std::wstring name);

    // Creates the window; client size in pixels. owner may be nullptr.
    void Create(const std::wstring& caption, int clientWidth, int clientHeight,
                DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                DWORD exStyle = WS_EX_CONTROLPARENT, HWND owner = nullptr);

    template <class T, class... A>
    T& Add(A&&... args) {
        auto control = std::unique_ptr<T>(new T(*this, std::forward<A>(args)...));
        T& ref = *control;
        controls_.push_back(std::move(control));
        return ref;
    }
    // For controls whose constructors are not public (test fakes, extenders).
    void Adopt(std::unique_ptr<Control> control) { controls_.push_back(std::move(control)); }

    // One switch per window; unhandled messages go to DefaultMessage.
    virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // The system's own handling at the end of DefaultMessage; an MDI frame answers DefFrameProc.
    virtual LRESULT SystemMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // The text of a control changed through SetText.
    virtual void OnTextChanged(Control& /*control*/) {}
    // The user (or code) asks the window to close; answer true to keep it open.
    virtual bool OnQueryUnload() { return false; }
    virtual void OnUnload() {}

public:
    // The window procedure of every form.
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    friend class Control;
    void Destroyed();

    std::wstring name_;
    std::wstring tag_;
    HWND hwnd_ = nullptr;
    bool hiddenWithOwner_ = false;
    bool ownerClosing_ = false;
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<std::unique_ptr<Control>> retiredControls_;
};

// One shared instance per form class, created on first use. Forms create their window in
// their constructor, so an instance whose window has been closed since is replaced by a
// fresh one; Release drops it.
template <class T>
class DefaultInstance {
public:
    static T& Get() {
        auto& p = Slot();
        if (p && !p->Loaded()) p.reset();
        if (!p) p.reset(new T());
        return *p;
    }
    static T* Existing() {
        auto& p = Slot();
        return p && p->Loaded() ? p.get() : nullptr;
    }
    static void Release() {
        auto& p = Slot();
        if (p && p->Loaded()) p->Unload();
        p.reset();
    }

private:
    static std::unique_ptr<T>& Slot() { return vb::ThreadInstance<std::unique_ptr<T>>(); }
};

// Pixels and twips of the screen.
long PixelsToTwipsX(int pixels);
long PixelsToTwipsY(int pixels);
int TwipsToPixelsX(long twips);
int TwipsToPixelsY(long twips);

}  // namespace win
