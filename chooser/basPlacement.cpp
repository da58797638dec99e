#include "basPlacement.h"

#include <cmath>

#include "basErrorHandler.h"
#include "vb/VbScreen.h"

namespace {
const long kMargin = kPlacementMargin;
}

long RoundHalfEven(double value) { return static_cast<long>(std::nearbyint(value)); }

long GetListViewHeightForRows(const win::ListView* listView, long Rows) {
    return Trapped(L"GetListViewHeightForRows", [&]() -> long {
        if (!listView || !listView->Handle()) return 0;
        if (listView->View() != 3 || listView->Count() < 1) return 0;
        HWND hwnd = listView->Handle();
        RECT item{};
        item.left = LVIR_SELECTBOUNDS;
        long rowHeight = 0;
        if (SendMessageW(hwnd, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)) != 0)
            rowHeight = item.bottom - item.top;
        RECT outer{}, inner{};
        GetWindowRect(hwnd, &outer);
        GetClientRect(hwnd, &inner);
        const long frame = (outer.bottom - outer.top) - (inner.bottom - inner.top);
        if (rowHeight < 1) return 0;
        return rowHeight * Rows + frame + 1;
    });
}

CursorPlacement PlaceAtCursor(const CursorPlacementInput& in) {
    const TaskbarRect& tb = in.taskbar;
    long top = RoundHalfEven(in.formTop + in.cursorY - in.yOffset);

    const long visibleHeight = tb.Top < 0 ? tb.Height - tb.Top : tb.Height;
    const long visibleWidth = tb.Left < 0 ? tb.Width - tb.Left : tb.Width;
    long bandHeight = tb.Height;
    long bandWidth = tb.Width;
    if (visibleHeight < in.screenHeight) {
        // A horizontal taskbar.
        bandHeight = tb.Height + kMargin;
        bandWidth = 0;
    } else if (visibleWidth < in.screenWidth) {
        // A vertical one.
        bandWidth = tb.Width + kMargin;
        bandHeight = 0;
    }

    if (tb.Top <= 0) {
        if (top < bandHeight)
            top = bandHeight;
        else if (top + in.formHeight > in.screenHeight - kMargin)
            top = in.screenHeight - in.formHeight - kMargin;
    } else {
        if (top + in.formHeight > in.screenHeight - bandHeight)
            top = in.screenHeight - in.formHeight - bandHeight;
        else if (top < kMargin)
            top = kMargin;
    }

    long left = RoundHalfEven(in.formLeft + in.cursorX - in.xOffset);
    if (tb.Left <= 0) {
        if (left < bandWidth + kMargin)
            left = bandWidth + kMargin;
        else if (left + in.formWidth > in.screenWidth - kMargin)
            left = in.screenWidth - in.formWidth - kMargin;
    } else {
        if (left < kMargin)
            left = kMargin;
        else if (left + in.formWidth > in.screenWidth - bandWidth)
            left = in.screenWidth - in.formWidth - bandWidth;
    }
    return {left, top};
}

void PlaceFormAtCursor(win::Window& form, double XOffset, double YOffset) {
    TrappedVoid(L"PlaceFormAtCursor", [&] {
        CursorPlacementInput in;
        POINT cursor{};
        GetCursorPos(&cursor);
        ScreenToClient(form.Handle(), &cursor);
        in.cursorX = win::PixelsToTwipsX(cursor.x);
        in.cursorY = win::PixelsToTwipsY(cursor.y);
        in.formLeft = form.Left();
        in.formTop = form.Top();
        in.formWidth = form.Width();
        in.formHeight = form.Height();
        in.xOffset = XOffset;
        in.yOffset = YOffset;
        GetScreenSize(in.screenWidth, in.screenHeight, 1);
        GetTaskbarRect(in.taskbar);
        const CursorPlacement place = PlaceAtCursor(in);
        form.Move(place.left, place.top);
    });
}

void GetTaskbarRect(TaskbarRect& rect) {
    TrappedVoid(L"GetTaskbarRect", [&] {
        rect = TaskbarRect{};
        HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
        if (!taskbar) return;
        RECT r{};
        if (!GetWindowRect(taskbar, &r)) return;
        const double x = vb::TwipsPerPixelX(), y = vb::TwipsPerPixelY();
        rect.Top = RoundHalfEven(r.top * y);
        rect.Left = RoundHalfEven(r.left * x);
        rect.Width = RoundHalfEven((r.right - r.left) * x);
        rect.Height = RoundHalfEven((r.bottom - r.top) * y);
    });
}

void GetScreenSize(long& Width, long& Height, long Units) {
    TrappedVoid(L"GetScreenSize", [&] {
        Width = GetSystemMetrics(SM_CXSCREEN);
        Height = GetSystemMetrics(SM_CYSCREEN);
        if (Units == 0) return;
        Width = RoundHalfEven(static_cast<double>(Width) * vb::TwipsPerPixelX());
        Height = RoundHalfEven(static_cast<double>(Height) * vb::TwipsPerPixelY());
        if (Units >= 2) {
            Width /= 1440;
            Height /= 1440;
        }
        if (Units == 3) {
            Width *= 72;
            Height *= 72;
        }
    });
}
