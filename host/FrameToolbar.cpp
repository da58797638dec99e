#include "FrameToolbar.h"

#include <olectl.h>

#include <cmath>

namespace {

constexpr int kPictureWidth = 58;
constexpr int kPictureHeight = 42;

enum class Glyph { Help, Refer, Suggest, HelpFile };
enum class Look { Up, Down, UpOver };

struct GdiPen {
    HPEN pen;
    explicit GdiPen(COLORREF colour, int width = 1) : pen(CreatePen(PS_SOLID, width, colour)) {}
    ~GdiPen() { DeleteObject(pen); }
};
struct GdiBrush {
    HBRUSH brush;
    explicit GdiBrush(COLORREF colour) : brush(CreateSolidBrush(colour)) {}
    ~GdiBrush() { DeleteObject(brush); }
};

void DrawGlyph(HDC dc, Glyph glyph, int cx, int cy) {
    const COLORREF ink = RGB(0x1d, 0x4f, 0x8c);
    GdiPen pen(ink, 2);
    GdiBrush paper(RGB(0xff, 0xff, 0xff));
    GdiBrush gold(RGB(0xf4, 0xc8, 0x42));
    HGDIOBJ oldPen = SelectObject(dc, pen.pen);
    HGDIOBJ oldBrush = SelectObject(dc, paper.brush);
    switch (glyph) {
        case Glyph::Help: {
            Ellipse(dc, cx - 10, cy - 10, cx + 11, cy + 11);
            RECT r{cx - 10, cy - 10, cx + 11, cy + 11};
            SetTextColor(dc, ink);
            HFONT mark = CreateFontW(-16, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial");
            HGDIOBJ oldFont = SelectObject(dc, mark);
            DrawTextW(dc, L"?", 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            SelectObject(dc, oldFont);
            DeleteObject(mark);
            break;
        }
        case Glyph::HelpFile: {
            Rectangle(dc, cx - 10, cy - 10, cx + 10, cy + 11);
            MoveToEx(dc, cx - 5, cy - 10, nullptr);
            LineTo(dc, cx - 5, cy + 10);
            MoveToEx(dc, cx - 1, cy - 4, nullptr);
            LineTo(dc, cx + 6, cy - 4);
            MoveToEx(dc, cx - 1, cy + 1, nullptr);
            LineTo(dc, cx + 6, cy + 1);
            break;
        }
        case Glyph::Refer: {
            Rectangle(dc, cx - 12, cy - 8, cx + 13, cy + 9);
            MoveToEx(dc, cx - 12, cy - 8, nullptr);
            LineTo(dc, cx, cy + 2);
            LineTo(dc, cx + 12, cy - 8);
            break;
        }
        case Glyph::Suggest: {
            SelectObject(dc, gold.brush);
            Ellipse(dc, cx - 8, cy - 11, cx + 9, cy + 6);
            SelectObject(dc, paper.brush);
            Rectangle(dc, cx - 4, cy + 5, cx + 5, cy + 11);
            break;
        }
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
}

HBITMAP DrawButtonPicture(Glyph glyph, const wchar_t* caption, Look look) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, kPictureWidth, kPictureHeight);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, picture);
    RECT r{0, 0, kPictureWidth, kPictureHeight};
    FillRect(dc, &r, GetSysColorBrush(look == Look::UpOver ? COLOR_3DHILIGHT : COLOR_BTNFACE));
    if (look == Look::UpOver) {
        GdiBrush face(GetSysColor(COLOR_BTNFACE));
        RECT inner{1, 1, kPictureWidth - 1, kPictureHeight - 1};
        FillRect(dc, &inner, face.brush);
        DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    } else if (look == Look::Down) {
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    }
    const int shift = look == Look::Down ? 1 : 0;
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawGlyph(dc, glyph, kPictureWidth / 2 + shift, 15 + shift);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT text{shift, 28 + shift, kPictureWidth + shift, kPictureHeight - 1 + shift};
    DrawTextW(dc, caption, -1, &text, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    SelectObject(dc, old);
    DeleteDC(dc);
    return picture;
}

}  // namespace

HBITMAP ImageListPicture(const std::wstring& key) {
    struct Entry {
        const wchar_t* prefix;
        Glyph glyph;
        const wchar_t* caption;
    };
    static const Entry entries[] = {
        {L"HelpFile", Glyph::HelpFile, L"Help File"},
        {L"Help", Glyph::Help, L"Help"},
        {L"Refer", Glyph::Refer, L"Refer"},
        {L"Suggest", Glyph::Suggest, L"Suggest"},
    };
    for (const Entry& e : entries) {
        std::wstring prefix = e.prefix;
        if (key.compare(0, prefix.size(), prefix) != 0) continue;
        std::wstring look = key.substr(prefix.size());
        if (look == L"Up") return DrawButtonPicture(e.glyph, e.caption, Look::Up);
        if (look == L"Down") return DrawButtonPicture(e.glyph, e.caption, Look::Down);
        if (look == L"UpOver") return DrawButtonPicture(e.glyph, e.caption, Look::UpOver);
    }
    return nullptr;
}

HBITMAP BitmapFromPicture(IPicture* picture) {
    if (!picture) return nullptr;
    SHORT type = PICTYPE_NONE;
    if (FAILED(picture->get_Type(&type))) return nullptr;
    if (type == PICTYPE_BITMAP) {
        OLE_HANDLE handle = 0;
        if (FAILED(picture->get_Handle(&handle)) || !handle) return nullptr;
        HBITMAP source = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
        BITMAP bm{};
        if (!GetObjectW(source, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return nullptr;
        // A copy of our own, in the screen's format, which the picture's owner cannot take away.
        HDC screen = GetDC(nullptr);
        HDC from = CreateCompatibleDC(screen);
        HDC to = CreateCompatibleDC(screen);
        HBITMAP copy = CreateCompatibleBitmap(screen, bm.bmWidth, bm.bmHeight);
        ReleaseDC(nullptr, screen);
        HGDIOBJ oldFrom = SelectObject(from, source);
        HGDIOBJ oldTo = SelectObject(to, copy);
        BitBlt(to, 0, 0, bm.bmWidth, bm.bmHeight, from, 0, 0, SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
        DeleteDC(from);
        DeleteDC(to);
        return copy;
    }
    // Icons and metafiles: drawn onto a bitmap of the picture's size.
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    if (FAILED(picture->get_Width(&width)) || FAILED(picture->get_Height(&height))) return nullptr;
    HDC screen = GetDC(nullptr);
    int pixelsX = MulDiv(width, GetDeviceCaps(screen, LOGPIXELSX), 2540);
    int pixelsY = MulDiv(height, GetDeviceCaps(screen, LOGPIXELSY), 2540);
    if (pixelsX <= 0 || pixelsY <= 0) {
        ReleaseDC(nullptr, screen);
        return nullptr;
    }
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, pixelsX, pixelsY);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT r{0, 0, pixelsX, pixelsY};
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    picture->Render(dc, 0, 0, pixelsX, pixelsY, 0, height, width, -height, nullptr);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

void FrameToolbar::SetButtonPictures(int button, IPicture* up, IPicture* down, IPicture* upOver) {
    if (up) bar_.SetPicture(button, win::ToolbarPicture::Up, BitmapFromPicture(up));
    if (down) bar_.SetPicture(button, win::ToolbarPicture::Down, BitmapFromPicture(down));
    if (upOver) bar_.SetPicture(button, win::ToolbarPicture::UpOver, BitmapFromPicture(upOver));
}

void FrameToolbar::SetButtonImages(int button, const std::wstring& upKey, const std::wstring& downKey,
                                   const std::wstring& upOverKey) {
    bar_.SetPicture(button, win::ToolbarPicture::Up, ImageListPicture(upKey));
    bar_.SetPicture(button, win::ToolbarPicture::Down, ImageListPicture(downKey));
    bar_.SetPicture(button, win::ToolbarPicture::UpOver, ImageListPicture(upOverKey));
}
