#include "TesselOptionsImages.h"

namespace {

constexpr int kButtonWidth = 58;
constexpr int kButtonHeight = 42;

void FillBox(HDC dc, int l, int t, int r, int b, COLORREF fill, COLORREF edge) {
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, edge);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Rectangle(dc, l, t, r, b);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

// A folder, a page, a category box, a program window: 16 x 16 pixels each.
void DrawNodeImage(HDC dc, int kind) {
    RECT all{0, 0, 16, 16};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    switch (kind) {
        case 1:  // extensions folder
        case 6:  // programs folder
            FillBox(dc, 1, 3, 7, 6, RGB(230, 190, 80), RGB(150, 110, 20));
            FillBox(dc, 1, 5, 15, 14, kind == 1 ? RGB(250, 215, 110) : RGB(170, 210, 250),
                    kind == 1 ? RGB(150, 110, 20) : RGB(40, 90, 160));
            break;
        case 2:  // extension: a page with a folded corner
            FillBox(dc, 3, 1, 13, 15, RGB(255, 255, 255), RGB(90, 90, 90));
            FillBox(dc, 5, 5, 11, 6, RGB(120, 120, 120), RGB(120, 120, 120));
            FillBox(dc, 5, 8, 11, 9, RGB(120, 120, 120), RGB(120, 120, 120));
            FillBox(dc, 5, 11, 9, 12, RGB(120, 120, 120), RGB(120, 120, 120));
            break;
        case 5:  // category
            FillBox(dc, 1, 2, 15, 14, RGB(120, 170, 90), RGB(50, 100, 30));
            FillBox(dc, 4, 5, 12, 11, RGB(200, 235, 170), RGB(50, 100, 30));
            break;
        case 7:  // program: a small window
            FillBox(dc, 1, 2, 15, 14, RGB(255, 255, 255), RGB(30, 60, 140));
            FillBox(dc, 1, 2, 15, 5, RGB(40, 80, 170), RGB(30, 60, 140));
            break;
        case 8:  // subcategory
            FillBox(dc, 2, 3, 14, 13, RGB(170, 200, 240), RGB(40, 90, 160));
            FillBox(dc, 5, 6, 11, 10, RGB(255, 255, 255), RGB(40, 90, 160));
            break;
        default:
            FillBox(dc, 4, 4, 12, 12, RGB(200, 200, 200), RGB(120, 120, 120));
            break;
    }
}

}  // namespace

HIMAGELIST CategoryImageList() {
    static HIMAGELIST images = [] {
        HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24, 8, 0);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        for (int kind = 1; kind <= 8; ++kind) {
            HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
            HGDIOBJ old = SelectObject(dc, bitmap);
            DrawNodeImage(dc, kind);
            SelectObject(dc, old);
            ImageList_Add(list, bitmap, nullptr);
            DeleteObject(bitmap);
        }
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        return list;
    }();
    return images;
}

HBITMAP DrawToolbarButtonPicture(int which) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, kButtonWidth, kButtonHeight);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, picture);
    RECT r{0, 0, kButtonWidth, kButtonHeight};
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    const int shift = which == 1 ? 1 : 0;
    if (which != 0) DrawEdge(dc, &r, which == 1 ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    // A page with an arrow to a program window: which program opens which file.
    FillBox(dc, 12 + shift, 4 + shift, 24 + shift, 22 + shift, RGB(255, 255, 255), RGB(70, 70, 70));
    for (int y = 8; y <= 17; y += 3) FillBox(dc, 14 + shift, y + shift, 22 + shift, y + 1 + shift, RGB(130, 130, 130), RGB(130, 130, 130));
    FillBox(dc, 32 + shift, 6 + shift, 47 + shift, 20 + shift, RGB(255, 255, 255), RGB(30, 60, 140));
    FillBox(dc, 32 + shift, 6 + shift, 47 + shift, 9 + shift, which == 2 ? RGB(220, 120, 20) : RGB(40, 80, 170),
            RGB(30, 60, 140));
    HPEN pen = CreatePen(PS_SOLID, 2, which == 2 ? RGB(220, 120, 20) : RGB(40, 120, 40));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    MoveToEx(dc, 25 + shift, 13 + shift, nullptr);
    LineTo(dc, 31 + shift, 13 + shift);
    MoveToEx(dc, 28 + shift, 10 + shift, nullptr);
    LineTo(dc, 31 + shift, 13 + shift);
    LineTo(dc, 28 + shift, 16 + shift);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT text{shift, 26 + shift, kButtonWidth + shift, kButtonHeight - 1 + shift};
    DrawTextW(dc, L"Lumox", -1, &text, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, oldFont);
    SelectObject(dc, old);
    DeleteDC(dc);
    return picture;
}
