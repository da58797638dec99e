#include "frmSplash.h"

#include "HostVersion.h"
#include "MarldenResources.h"
#include "basErrorHandler.h"
#include "basUserInterface.h"
#include "vb/VbApp.h"
#include "vb/VbScreen.h"

namespace {

// The picture and the place of each label on it, in pixels; the labels sit on the light band
// along the picture's foot.
constexpr int kPictureWidth = 420;
constexpr int kPictureHeight = 260;
constexpr COLORREF kBandColour = RGB(0xf2, 0xf2, 0xee);
constexpr COLORREF kTextColour = RGB(0x12, 0x30, 0x6b);

struct LabelDesign {
    int alignment;  // 0 left, 1 right, 2 centred
    win::Rect rect;
};
constexpr LabelDesign kEdition{0, {16, 196, 250, 34}};
constexpr LabelDesign kVersion{1, {254, 204, 150, 24}};
constexpr LabelDesign kCopyright{0, {16, 232, 388, 24}};

DWORD StaticAlignment(int alignment) { return alignment == 1 ? SS_RIGHT : alignment == 2 ? SS_CENTER : SS_LEFT; }

}  // namespace

LabelPlacement ScaleSplashLabel(int alignment, double left, double top, double width, double ratioX, double ratioY) {
    switch (alignment) {
        case 0:
        case 2: return {left * ratioX, top * ratioY};
        case 1: return {(left + width) * ratioX - width, top * ratioY};
        default: return {left, top};
    }
}

frmSplash::frmSplash()
    : win::Window(L"frmSplash"),
      pic((Create(L"", kPictureWidth, kPictureHeight, WS_POPUP | WS_BORDER | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW),
           Add<ClickLabel>(nullptr, L"pic", -1, L"", win::Rect{0, 0, kPictureWidth, kPictureHeight},
                           SS_BITMAP))),
      lblSpecialEdition(Add<win::Label>(nullptr, L"lblSpecialEdition", -1, L"", kEdition.rect,
                                        StaticAlignment(kEdition.alignment))),
      lblVersion(Add<win::Label>(nullptr, L"lblVersion", -1, L"", kVersion.rect, StaticAlignment(kVersion.alignment))),
      lblCopyright(Add<win::Label>(nullptr, L"lblCopyright", -1, L"", kCopyright.rect,
                                   StaticAlignment(kCopyright.alignment))) {
    band_ = CreateSolidBrush(kBandColour);
    picture_ = static_cast<HBITMAP>(
        LoadImageW(vb::ThisModule(), MAKEINTRESOURCEW(IDB_SPLASH), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (picture_) SendMessageW(pic.Handle(), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_));
    SetControlFont(lblSpecialEdition, editionFont_.Make(L"Arial Black", 16, FW_HEAVY));
    HFONT text = textFont_.Make(L"Arial", 9);
    SetControlFont(lblVersion, text);
    SetControlFont(lblCopyright, text);
    pic.OnClick = [this] { TrappedVoid(L"pic_Click", [&] { Unload(); }); };
    Form_Load();
}

frmSplash::~frmSplash() {
    if (Loaded()) Unload();
    if (picture_) DeleteObject(picture_);
    if (band_) DeleteObject(band_);
}

frmSplash& frmSplash::Default() { return win::DefaultInstance<frmSplash>::Get(); }
frmSplash* frmSplash::Existing() { return win::DefaultInstance<frmSplash>::Existing(); }

void frmSplash::Form_Load() {
    TrappedVoid(L"Form_Load", [&] {
        PlaceForm(*this, phCentre, pvCentre);
        HostVersion version = OwnVersion();
        lblSpecialEdition.SetText(L"Lumox Expert");
        lblVersion.SetText(ShortVersionLabel(version));
        lblCopyright.SetText(version.LegalCopyright);

        // From here on a step that fails is skipped.
        const double ratioX = vb::TwipsPerPixelX() / 12.0;
        const double ratioY = vb::TwipsPerPixelY() / 12.0;
        try {
            RECT outer{}, inner{};
            GetWindowRect(Handle(), &outer);
            GetClientRect(Handle(), &inner);
            SetWindowPos(Handle(), nullptr, 0, 0, pic.Width() + (outer.right - outer.left) - inner.right,
                         pic.Height() + (outer.bottom - outer.top) - inner.bottom,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        } catch (...) {
            vb::Err().Clear();
        }
        // The labels were laid out in twips on a screen of 12 twips per pixel, over a picture
        // whose size is fixed in pixels: scaled with the screen they keep their place on it.
        const LabelDesign* designs[] = {&kEdition, &kVersion, &kCopyright};
        win::Label* labels[] = {&lblSpecialEdition, &lblVersion, &lblCopyright};
        for (int i = 0; i < 3; ++i) {
            try {
                const win::Rect& r = designs[i]->rect;
                const double width = r.width * 12.0;
                const double height = r.height * 12.0;
                LabelPlacement p =
                    ScaleSplashLabel(designs[i]->alignment, r.left * 12.0, r.top * 12.0, width, ratioX, ratioY);
                labels[i]->Move(static_cast<int>(p.left / vb::TwipsPerPixelX() + 0.5),
                                static_cast<int>(p.top / vb::TwipsPerPixelY() + 0.5),
                                static_cast<int>(width / vb::TwipsPerPixelX() + 0.5),
                                static_cast<int>(height / vb::TwipsPerPixelY() + 0.5));
            } catch (...) {
                vb::Err().Clear();
            }
        }
    });
}

void frmSplash::TimerEvent() {
    if (timerBusy_) return;
    timerBusy_ = true;
    bool ended = false;
    TrappedVoid(L"Timer1_Timer", [&] {
        // A chain of counters as the frame counts its ticks: 2, every count, then 32.
        static constexpr double limits[3] = {2.0, 0.25, 32.0};
        ended = true;
        for (int i = 0; i < 3 && ended; ++i) {
            counters_[i] += 1;
            ended = counters_[i] >= limits[i];
            if (ended) counters_[i] = 0;
        }
    });
    timerBusy_ = false;
    if (ended) Unload();
}

LRESULT frmSplash::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CHAR:
            TrappedVoid(L"Form_KeyPress", [&] { Unload(); });
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, kTextColour);
            SetBkColor(dc, kBandColour);
            return reinterpret_cast<LRESULT>(band_);
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) SetFocus(Handle());
            break;
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}
