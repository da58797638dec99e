#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePresenter.h"
#include "UiTestForms.h"
#include "basStrings.h"
#include "basUserInterface.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

using win::Rect;

// Resizes the form by whole pixels so the expected positions are exact.
void GrowBy(win::Window& form, int dxPixels, int dyPixels) {
    RECT r;
    GetWindowRect(form.Handle(), &r);
    SetWindowPos(form.Handle(), nullptr, 0, 0, r.right - r.left + dxPixels, r.bottom - r.top + dyPixels,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TEST(LayoutTest, AnchorsFixedSizeAndScaling) {
    FakePresenter boxes;
    TestForm form;
    auto& right = form.Put<win::Button>(nullptr, L"cmdRight", -1, L"R", Rect{300, 10, 80, 24});
    right.SetTag(L"ResizeAnchor1:='Right' ResizeAnchor2:='Top' FixedSize:='True'");
    auto& wide = form.Put<win::TextBox>(nullptr, L"txtWide", -1, L"", Rect{10, 40, 200, 22});
    wide.SetTag(L"ResizeAnchor1:='LeftAndRight' ResizeAnchor2:='Top'");
    auto& plain = form.Put<win::Label>(nullptr, L"lblPlain", -1, L"x", Rect{100, 100, 50, 20});
    auto& frame = form.Put<win::Container>(nullptr, L"fra", -1, L"Frame", Rect{20, 150, 150, 100}, true);
    frame.SetTag(L"FixedSize:='True' ResizeAnchor1:='Left' ResizeAnchor2:='Top'");
    auto& inner = form.Put<win::Label>(&frame, L"lblInner", -1, L"in", Rect{10, 20, 60, 20});
    auto& tall = form.Put<win::ListView>(nullptr, L"lvw", -1, Rect{220, 40, 100, 200}, false);
    tall.SetTag(L"ResizeAnchor1:='TopAndBottom' ResizeAnchor2:='Left' FixedSize:='True'");

    form.OldFormWidth = form.Width();
    form.OldFormHeight = form.Height();
    GrowBy(form, 100, 60);
    ResizeControls(form);

    EXPECT_EQ(right.Left(), 400) << "keeps its distance to the right edge";
    EXPECT_EQ(right.Top(), 10);
    EXPECT_EQ(right.Width(), 80);
    EXPECT_EQ(wide.Left(), 10);
    EXPECT_EQ(wide.Width(), 300) << "grows by the width change";
    EXPECT_EQ(tall.Top(), 40);
    EXPECT_EQ(tall.Height(), 260);
    EXPECT_EQ(tall.Width(), 100);

    const double scaleX = static_cast<double>(form.Width()) / (form.Width() - 100 * vb::TwipsPerPixelX());
    const double scaleY = static_cast<double>(form.Height()) / (form.Height() - 60 * vb::TwipsPerPixelY());
    EXPECT_NEAR(plain.Left(), 100 * scaleX, 1.0) << "no anchors: scales";
    EXPECT_NEAR(plain.Top(), 100 * scaleY, 1.0);
    EXPECT_NEAR(plain.Width(), 50 * scaleX, 1.0);

    EXPECT_EQ(inner.Left(), 10) << "inside a fixed container: not moved";
    EXPECT_EQ(inner.Top(), 20);
    EXPECT_EQ(inner.Width(), 60);
    EXPECT_EQ(frame.Width(), 150);

    EXPECT_EQ(form.OldFormWidth, form.Width());
    EXPECT_EQ(form.OldFormHeight, form.Height());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(LayoutTest, BottomAnchoredControlSetsTheVerticalScale) {
    FakePresenter boxes;
    TestForm form;
    auto& bottom = form.Put<win::Button>(nullptr, L"cmdOk", -1, L"OK", Rect{10, 250, 80, 24});
    bottom.SetTag(L"ResizeAnchor1:='Bottom' ResizeAnchor2:='Left' FixedSize:='True'");
    auto& upper = form.Put<win::Label>(nullptr, L"lbl", -1, L"x", Rect{10, 100, 50, 20});
    upper.SetTag(L"FixedSize:='True'");
    // A list pinned to the bottom keeps its height: scaled with the others it would reach past
    // the bottom edge it is pinned to.
    auto& list = form.Put<win::Label>(nullptr, L"lst", -1, L"x", Rect{100, 260, 80, 30});
    list.SetTag(L"ResizeAnchor1:='Bottom'");
    form.OldFormWidth = form.Width();
    form.OldFormHeight = form.Height();
    GrowBy(form, 0, 50);
    ResizeControls(form);
    EXPECT_EQ(list.Top(), 310);
    EXPECT_EQ(list.Height(), 30);
    EXPECT_EQ(bottom.Top(), 300);
    EXPECT_EQ(bottom.Left(), 10);
    // The other controls make room in proportion to the bottom control's move.
    EXPECT_EQ(upper.Top(), 120);
    EXPECT_EQ(upper.Height(), 20);
}

TEST(LayoutTest, NoLayoutWhenMinimisedUnchangedOrNeverMeasured) {
    FakePresenter boxes;
    TestForm form;
    auto& plain = form.Put<win::Label>(nullptr, L"lbl", -1, L"x", Rect{100, 100, 50, 20});
    // Without a measured size there is nothing to scale from: the size is taken, nothing moves.
    GrowBy(form, 100, 100);
    ResizeControls(form);
    EXPECT_EQ(plain.Left(), 100);
    EXPECT_EQ(form.OldFormWidth, form.Width());
    EXPECT_TRUE(boxes.shown.empty()) << "no division-by-zero report";

    ResizeControls(form);  // same size again
    EXPECT_EQ(plain.Left(), 100);

    TestForm host(L"MDIFrm");
    form.PutControl(std::make_unique<FakeExtender>(form, &host, 1));
    form.OldFormWidth = form.Width() / 2;
    ResizeControls(form);
    EXPECT_EQ(plain.Left(), 100) << "minimised";
}

// A form with a control of every anchor kind, on a 400x300 client area; with or without a
// bottom-anchored control, which sets the vertical scale of the others.
struct AnchoredForm {
    // A caption without a sizing border: Windows lets such a window take any size, down to an
    // empty client area.
    TestForm form{L"frmAnchored", 400, 300, WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN};
    std::vector<win::Control*> controls;

    explicit AnchoredForm(bool withBottom) {
        auto put = [&](win::Control& c, const wchar_t* tag) {
            c.SetTag(tag);
            controls.push_back(&c);
        };
        put(form.Put<win::Button>(nullptr, L"cmdRight", -1, L"R", Rect{300, 10, 80, 24}),
            L"ResizeAnchor1:='Right' ResizeAnchor2:='Top' FixedSize:='True'");
        put(form.Put<win::TextBox>(nullptr, L"txtWide", -1, L"", Rect{10, 40, 200, 22}),
            L"ResizeAnchor1:='LeftAndRight' ResizeAnchor2:='Top'");
        put(form.Put<win::Label>(nullptr, L"lblPlain", -1, L"x", Rect{100, 100, 50, 20}), L"");
        put(form.Put<win::Label>(nullptr, L"lblFixed", -1, L"x", Rect{130, 70, 50, 20}), L"FixedSize:='True'");
        auto& frame = form.Put<win::Container>(nullptr, L"fra", -1, L"Frame", Rect{20, 150, 150, 100}, true);
        put(frame, L"FixedSize:='True' ResizeAnchor1:='Left' ResizeAnchor2:='Top'");
        put(form.Put<win::Label>(&frame, L"lblInner", -1, L"in", Rect{10, 20, 60, 20}), L"");
        put(form.Put<win::ListView>(nullptr, L"lvw", -1, Rect{220, 40, 100, 200}, false),
            L"ResizeAnchor1:='TopAndBottom' ResizeAnchor2:='Left' FixedSize:='True'");
        if (withBottom) {
            put(form.Put<win::Button>(nullptr, L"cmdOk", -1, L"OK", Rect{10, 262, 80, 24}),
                L"ResizeAnchor1:='Bottom' ResizeAnchor2:='Left' FixedSize:='True'");
            put(form.Put<win::Label>(nullptr, L"lst", -1, L"x", Rect{100, 266, 80, 30}), L"ResizeAnchor1:='Bottom'");
        }
        form.OldFormWidth = form.Width();
        form.OldFormHeight = form.Height();
    }
    // Gives the form that client area (pixels) and lays it out.
    void LayOutAt(SIZE client) {
        const DWORD style = static_cast<DWORD>(GetWindowLongW(form.Handle(), GWL_STYLE));
        RECT r{0, 0, client.cx, client.cy};
        AdjustWindowRectEx(&r, style, FALSE, 0);
        SetWindowPos(form.Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ResizeControls(form);
    }
    std::vector<Rect> Rects() const {
        std::vector<Rect> rects;
        for (win::Control* c : controls) rects.push_back(Rect{c->Left(), c->Top(), c->Width(), c->Height()});
        return rects;
    }
};

TEST(LayoutTest, SizesOnTheWayLeaveNoTraceInTheLayoutAtTheLastSize) {
    FakePresenter boxes;
    struct Case {
        const char* name;
        std::vector<SIZE> onTheWay;
        SIZE last;
    } cases[] = {
        {"an empty client area", {SIZE{400, 0}}, SIZE{640, 480}},
        {"no width at all", {SIZE{0, 300}}, SIZE{640, 480}},
        {"a few pixels high", {SIZE{120, 8}}, SIZE{640, 480}},
        {"a few pixels wide", {SIZE{6, 260}}, SIZE{400, 300}},
        {"squeezed, then smaller than designed", {SIZE{30, 20}}, SIZE{330, 250}},
        {"one size after another", {SIZE{700, 500}, SIZE{301, 221}, SIZE{513, 377}, SIZE{355, 290}}, SIZE{643, 471}},
    };
    for (bool withBottom : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (withBottom ? ", with a bottom-anchored control" : ""));
            AnchoredForm travelled(withBottom);
            for (SIZE size : c.onTheWay) travelled.LayOutAt(size);
            travelled.LayOutAt(c.last);
            AnchoredForm direct(withBottom);
            direct.LayOutAt(c.last);
            ASSERT_EQ(travelled.form.Width(), direct.form.Width());
            ASSERT_EQ(travelled.form.Height(), direct.form.Height());
            const std::vector<Rect> got = travelled.Rects(), expected = direct.Rects();
            for (size_t i = 0; i < got.size(); ++i) {
                SCOPED_TRACE(vb::ToAnsi(travelled.controls[i]->Name()));
                EXPECT_EQ(got[i].left, expected[i].left);
                EXPECT_EQ(got[i].top, expected[i].top);
                EXPECT_EQ(got[i].width, expected[i].width);
                EXPECT_EQ(got[i].height, expected[i].height);
            }
            EXPECT_EQ(travelled.form.OldFormWidth, travelled.form.Width());
            EXPECT_EQ(travelled.form.OldFormHeight, travelled.form.Height());
        }
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(LayoutTest, NoLayoutWhileTheClientAreaIsEmpty) {
    FakePresenter boxes;
    AnchoredForm form(true);
    const long designWidth = form.form.OldFormWidth, designHeight = form.form.OldFormHeight;
    const std::vector<Rect> before = form.Rects();
    form.LayOutAt(SIZE{400, 0});
    EXPECT_EQ(form.form.OldFormWidth, designWidth) << "the empty size is no size to scale from";
    EXPECT_EQ(form.form.OldFormHeight, designHeight);
    const std::vector<Rect> after = form.Rects();
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].top, before[i].top) << vb::ToAnsi(form.controls[i]->Name());
        EXPECT_EQ(after[i].height, before[i].height) << vb::ToAnsi(form.controls[i]->Name());
    }
}

TEST(LayoutTest, ControlsMovedByOtherCodeAreLaidOutFromWhereTheyAre) {
    FakePresenter boxes;
    AnchoredForm form(false);
    form.LayOutAt(SIZE{500, 300});
    win::Control& wide = *form.form.ControlByName(L"txtWide");
    EXPECT_EQ(wide.Width(), 300);
    // The window's own code puts the box elsewhere; the next layout grows it from there.
    wide.Move(20, 50, 100, 22);
    form.LayOutAt(SIZE{550, 300});
    EXPECT_EQ(wide.Left(), 20);
    EXPECT_EQ(wide.Top(), 50);
    EXPECT_EQ(wide.Width(), 150);
}

TEST(LayoutTest, PlaceFormModes) {
    FakePresenter boxes;
    TestForm reference(L"frmRef", 600, 400);
    reference.Move(1500, 3000);
    TestForm form(L"frmPlaced", 200, 100);
    const long rl = reference.Left(), rt = reference.Top(), rw = reference.Width(), rh = reference.Height();
    const long w = form.Width(), h = form.Height();
    const long tx = vb::TwipsPerPixelX(), ty = vb::TwipsPerPixelY();
    struct Case {
        int h, v;
        double fh, fv;
        long left, top;
    } cases[] = {
        {phCentre, pvCentre, 0, 0, rl + rw / 2 - w / 2, rt + rh / 2 - h / 2},
        {phRight, pvBottom, 0, 0, rl + rw - w, rt + rh - h},
        {phFraction, pvFraction, 0.25, 0.35, rl + (rw - w) / 4, rt + static_cast<long>((rh - h) * 0.35)},
        {9, 9, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        PlaceForm(form, c.h, c.v, &reference, c.fh, c.fv);
        EXPECT_NEAR(form.Left(), c.left, tx) << c.h;
        EXPECT_NEAR(form.Top(), c.top, ty) << c.v;
        EXPECT_EQ(form.Width(), w) << "size stays";
    }
    PlaceForm(form, phCentre, pvCentre);
    EXPECT_NEAR(form.Left(), vb::ScreenWidth() / 2 - w / 2, tx) << "no reference: the screen";
    EXPECT_NEAR(form.Top(), vb::ScreenHeight() / 2 - h / 2, ty);
}

TEST(LayoutTest, NormalizeExtension) {
    FakePresenter boxes;
    struct Case {
        const wchar_t* typed;
        const wchar_t* clean;
    } cases[] = {
        {L"  txt  ", L".txt"}, {L"archive.tar.gz", L".gz"}, {L"a?b", L".ab"},
        {L".DOC", L".DOC"},    {L"x<y>|z=\t", L".xyz"},     {L"", L"."},
    };
    for (const Case& c : cases) EXPECT_EQ(NormalizeExtension(c.typed), c.clean) << c.typed;
}

TEST(LayoutTest, GroupSwitchingNestsAndKeepsEachControlsOwnState) {
    FakePresenter boxes;
    TestForm form;
    auto& on = form.Put<win::Button>(nullptr, L"cmdOn", -1, L"on", Rect{10, 10, 80, 24});
    auto& off = form.Put<win::Button>(nullptr, L"cmdOff", -1, L"off", Rect{100, 10, 80, 24});
    off.SetEnabled(false);
    auto& frame = form.Put<win::Container>(nullptr, L"fra", -1, L"", Rect{10, 50, 200, 100}, true);
    auto& insideOn = form.Put<win::Button>(&frame, L"cmdIn", -1, L"in", Rect{10, 20, 80, 24});
    auto& insideOff = form.Put<win::Button>(&frame, L"cmdInOff", -1, L"in off", Rect{100, 20, 80, 24});
    insideOff.SetEnabled(false);
    frame.SetEnabled(false);
    auto& hidden = form.Put<win::Button>(nullptr, L"cmdHidden", -1, L"h", Rect{10, 200, 80, 24});
    hidden.SetVisible(false);

    EXPECT_TRUE(SetControlsEnabled(form, false));
    EXPECT_FALSE(SetControlsEnabled(form, false)) << "nested: nothing changes";
    for (win::Control* c : std::initializer_list<win::Control*>{&on, &off, &frame, &insideOn, &insideOff})
        EXPECT_FALSE(c->Enabled()) << c->Name();
    EXPECT_TRUE(hidden.Enabled()) << "a control that cannot take the focus is left alone";

    // A wish made during the group disable is applied when the controls come back.
    EXPECT_TRUE(SetControlEnabled(form, off, true));
    EXPECT_FALSE(off.Enabled());
    EXPECT_FALSE(SetControlEnabled(form, hidden, false));

    EXPECT_FALSE(SetControlsEnabled(form, true)) << "first switch-on of two: still off";
    EXPECT_FALSE(on.Enabled());
    EXPECT_TRUE(SetControlsEnabled(form, true));
    EXPECT_TRUE(on.Enabled());
    EXPECT_TRUE(off.Enabled()) << "the recorded wish";
    EXPECT_FALSE(frame.Enabled()) << "the disabled frame stays disabled";
    EXPECT_TRUE(insideOn.Enabled());
    EXPECT_FALSE(insideOff.Enabled()) << "a disabled control inside a disabled frame keeps its own state";
    EXPECT_EQ(GetTagProperty(form, L"ControlsEnabled"), L"0");

    // The records were emptied: the next round treats the controls by their state then.
    insideOff.SetEnabled(true);
    frame.SetEnabled(true);
    EXPECT_TRUE(SetControlsEnabled(form, false));
    EXPECT_TRUE(SetControlsEnabled(form, true));
    EXPECT_TRUE(insideOff.Enabled());
    EXPECT_TRUE(frame.Enabled());
}

TEST(LayoutTest, GroupSwitchingGivesAFrameBackThatHoldsADisabledControl) {
    // The frame goes off in the same pass as its children: it was on before, so it comes back on,
    // and only the child that was off stays off.
    FakePresenter boxes;
    TestForm form;
    auto& frame = form.Put<win::Container>(nullptr, L"fra", -1, L"", Rect{10, 10, 200, 100}, true);
    auto& first = form.Put<win::Button>(&frame, L"cmdFirst", -1, L"first", Rect{10, 20, 80, 24});
    auto& second = form.Put<win::Button>(&frame, L"cmdSecond", -1, L"second", Rect{100, 20, 80, 24});
    second.SetEnabled(false);
    EXPECT_TRUE(SetControlsEnabled(form, false));
    EXPECT_FALSE(frame.Enabled());
    EXPECT_TRUE(SetControlsEnabled(form, true));
    EXPECT_TRUE(frame.Enabled());
    EXPECT_TRUE(first.Enabled());
    EXPECT_FALSE(second.Enabled());
    // A wish for the child made meanwhile reaches it through a frame that works.
    EXPECT_TRUE(SetControlsEnabled(form, false));
    EXPECT_TRUE(SetControlEnabled(form, second, true));
    EXPECT_TRUE(SetControlsEnabled(form, true));
    EXPECT_TRUE(frame.Enabled());
    EXPECT_TRUE(second.Enabled());
}

TEST(LayoutTest, UnpairedSwitchOnLeavesControlsAloneUntilBalanced) {
    FakePresenter boxes;
    TestForm form;
    auto& button = form.Put<win::Button>(nullptr, L"cmd", -1, L"b", Rect{10, 10, 80, 24});
    EXPECT_FALSE(SetControlsEnabled(form, true));
    EXPECT_EQ(GetTagProperty(form, L"ControlsEnabled"), L"-1");
    EXPECT_FALSE(SetControlsEnabled(form, false));
    EXPECT_TRUE(button.Enabled());
    EXPECT_TRUE(SetControlsEnabled(form, false));
    EXPECT_FALSE(button.Enabled());
    EXPECT_TRUE(SetControlsEnabled(form, true));
    EXPECT_TRUE(button.Enabled());
}

TEST(LayoutTest, ListViewColumnsFollowTheirContents) {
    FakePresenter boxes;
    TestForm form;
    auto& list = form.Put<win::ListView>(nullptr, L"lvw", -1, Rect{10, 10, 380, 200}, false);
    list.AddColumn(L"Name", 20);
    list.AddColumn(L"Path", 20);
    int row = list.AddItem(L"A rather long program name that needs room");
    list.SetSubItem(row, 1, L"C:\\Program Files\\Somewhere\\far\\away.exe");
    ListViewAutoSizeColumns(list, true, 1);
    EXPECT_EQ(list.ColumnWidth(0), 20) << "before the first column asked for";
    EXPECT_GT(list.ColumnWidth(1), 100);
    EXPECT_TRUE(list.Visible());

    auto& icons = form.Put<win::ListView>(nullptr, L"lvwIcons", -1, Rect{10, 220, 100, 50}, false, LVS_LIST);
    EXPECT_EQ(icons.View(), 2);
    ListViewAutoSizeColumns(icons);  // not a report view: untouched, no error
    EXPECT_TRUE(boxes.shown.empty());
}

// A list view whose window refuses the width of its second column.
WNDPROC g_listProc = nullptr;
LRESULT CALLBACK RefuseSecondColumn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == LVM_SETCOLUMNWIDTH && wParam == 1) return FALSE;
    return CallWindowProcW(g_listProc, hwnd, msg, wParam, lParam);
}

TEST(LayoutTest, ListViewIsShownAgainWhenSizingFails) {
    FakePresenter boxes;
    TestForm form;
    form.Show();
    auto& list = form.Put<win::ListView>(nullptr, L"lvw", -1, Rect{10, 10, 380, 200}, false);
    for (const wchar_t* header : {L"Name", L"Path", L"Size"}) list.AddColumn(header, 20);
    list.AddItem(L"A rather long program name that needs room");
    ASSERT_TRUE(list.Visible());
    g_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RefuseSecondColumn)));

    ListViewAutoSizeColumns(list, true, 0);
    EXPECT_TRUE(list.Visible()) << "hidden for the sizing, shown again after the error";
    EXPECT_GT(list.ColumnWidth(0), 100) << "sized before the error";

    ListViewAutoSizeColumns(list, false, 1);
    EXPECT_TRUE(list.Visible());
    SetWindowLongPtrW(list.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
    EXPECT_TRUE(boxes.shown.empty()) << "errors are passed over";
}

TEST(LayoutTest, LoadedFormsTopParentAndWindowState) {
    FakePresenter boxes;
    EXPECT_FALSE(GetLoadedForm(L"frmLoadedOne"));
    {
        TestForm form(L"frmLoadedOne");
        auto& button = form.Put<win::Button>(nullptr, L"cmd", -1, L"b", Rect{10, 10, 80, 24});
        EXPECT_TRUE(GetLoadedForm(L"FRMLOADEDONE"));
        EXPECT_EQ(GetTopParent(button), &form);
        EXPECT_EQ(GetTopParent(form), &form);
        EXPECT_EQ(GetFormWindowState(form), 0);

        TestForm host(L"MDIFrm");
        form.PutControl(std::make_unique<FakeExtender>(form, &host, 2));
        EXPECT_EQ(GetFormWindowState(form), 2) << "the extender's state";
        EXPECT_TRUE(form.IsMdiChild());
        EXPECT_FALSE(CanReceiveFocus(*form.ControlByName(L"mdiExt"))) << "no visible or enabled state";
    }
    EXPECT_FALSE(GetLoadedForm(L"frmLoadedOne"));
}

}  // namespace
