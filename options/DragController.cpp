#include "DragController.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE OwnModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

HCURSOR OwnCursor(const wchar_t* name, const wchar_t* fallback) {
    HCURSOR cursor = static_cast<HCURSOR>(LoadImageW(OwnModule(), name, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    return cursor ? cursor : LoadCursorW(nullptr, fallback);
}

POINT ToClient(HWND hwnd, POINT screen) {
    ScreenToClient(hwnd, &screen);
    return screen;
}

}  // namespace

DragController::~DragController() {
    if (image_) ImageList_Destroy(image_);
}

HCURSOR DragController::FileDragCursor() {
    static HCURSOR cursor = OwnCursor(L"FileDrag", IDC_ARROW);
    return cursor;
}

HCURSOR DragController::NoDropCursor() {
    static HCURSOR cursor = OwnCursor(L"NoDrop", IDC_NO);
    return cursor;
}

void DragController::AddTarget(HWND target, OverHandler over, DropHandler drop) {
    targets_.push_back(Target{target, std::move(over), std::move(drop)});
}

void DragController::SetDragIcon(HCURSOR icon) {
    icon_ = icon;
    if (Dragging()) SetCursor(icon_ ? icon_ : LoadCursorW(nullptr, IDC_ARROW));
}

bool DragController::Drag(HWND source, POINT start, HCURSOR icon, HIMAGELIST image) {
    POINT screen = start;
    ClientToScreen(source, &screen);
    if (!DragDetect(source, screen)) {
        if (image) ImageList_Destroy(image);
        return false;
    }
    DragNow(source, start, icon, image);
    return true;
}

const DragController::Target* DragController::TargetAt(POINT screen) const {
    for (HWND hwnd = WindowFromPoint(screen); hwnd; hwnd = GetParent(hwnd)) {
        for (const Target& target : targets_)
            if (target.hwnd == hwnd) return &target;
        if (!(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) break;
    }
    return nullptr;
}

void DragController::ShowImage(bool show) {
    if (!image_ || show == imageShown_) return;
    imageShown_ = show;
    ImageList_DragShowNolock(show);
}

void DragController::Move(POINT screen) {
    const Target* target = TargetAt(screen);
    HWND hwnd = target ? target->hwnd : nullptr;
    // The targets redraw (drop highlight, selection) with the image hidden, so no trace is left.
    ShowImage(false);
    if (hwnd != current_) {
        if (current_) {
            for (const Target& t : targets_)
                if (t.hwnd == current_ && t.over) t.over(source_, ToClient(current_, screen), dsLeave);
        }
        current_ = hwnd;
        if (target && target->over) target->over(source_, ToClient(hwnd, screen), dsEnter);
    } else if (target && target->over) {
        target->over(source_, ToClient(hwnd, screen), dsOver);
    }
    if (image_) ImageList_DragMove(screen.x, screen.y);
    ShowImage(true);
    SetCursor(icon_ ? icon_ : LoadCursorW(nullptr, IDC_ARROW));
}

void DragController::DragNow(HWND source, POINT start, HCURSOR icon, HIMAGELIST image) {
    if (Dragging()) {
        if (image) ImageList_Destroy(image);
        return;
    }
    source_ = source;
    icon_ = icon;
    image_ = image;
    current_ = nullptr;
    if (OnRunning) OnRunning(true);

    POINT screen = start;
    ClientToScreen(source, &screen);
    if (image_) {
        ImageList_BeginDrag(image_, 0, 0, 0);
        ImageList_DragEnter(nullptr, screen.x, screen.y);
        imageShown_ = true;
    }
    SetCapture(source);
    Move(screen);

    bool drop = false;
    MSG msg;
    while (GetCapture() == source) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (msg.message == WM_MOUSEMOVE) {
            Move(msg.pt);
            continue;
        }
        if (msg.message == WM_LBUTTONUP) {
            screen = msg.pt;
            drop = true;
            break;
        }
        if (msg.message == WM_RBUTTONDOWN || (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)) break;
        if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Finish(drop, screen);
}

void DragController::Finish(bool drop, POINT screen) {
    HWND source = source_;
    if (GetCapture() == source) ReleaseCapture();
    if (image_) {
        ImageList_DragLeave(nullptr);
        ImageList_EndDrag();
        ImageList_Destroy(image_);
        image_ = nullptr;
        imageShown_ = false;
    }
    const Target* target = drop ? TargetAt(screen) : nullptr;
    if (!drop && current_) {
        for (const Target& t : targets_)
            if (t.hwnd == current_ && t.over) t.over(source, ToClient(current_, screen), dsLeave);
    }
    source_ = nullptr;
    current_ = nullptr;
    icon_ = nullptr;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    if (target && target->drop) target->drop(source, ToClient(target->hwnd, screen));
    if (OnRunning) OnRunning(false);
    if (OnEnd) OnEnd(source);
}
