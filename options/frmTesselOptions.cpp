#include "frmTesselOptions.h"

#include <algorithm>

#include "OptionsLinks.h"
#include "OptionsMenuLink.h"
#include "TesselOptionsAutomation.h"
#include "TesselOptionsImages.h"
#include "basCategories.h"
#include "basErrorHandler.h"
#include "basUserChoices.h"
#include "basUserInterface.h"
#include "frmAutoAssociate.h"
#include "frmCrashRecoveryChoices.h"
#include "frmInfo.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

// The window's design size in twips, and its client area as laid out below (pixels).
constexpr long kDesignWidth = 11650;
constexpr long kDesignHeight = 6240;
constexpr int kClientWidth = 760;
constexpr int kClientHeight = 380;
constexpr int kMargin = 6;
constexpr int kTreeWidth = 230;
constexpr int kLabelHeight = 16;
constexpr int kRightLeft = kMargin + kTreeWidth + kMargin;
constexpr int kRightWidth = kClientWidth - kRightLeft - kMargin;
constexpr int kExtsTop = kMargin + kLabelHeight;
constexpr int kExtsHeight = 130;
constexpr int kProgramsLabelTop = kExtsTop + kExtsHeight + 6;
constexpr int kProgramsTop = kProgramsLabelTop + kLabelHeight;
constexpr int kListsBottom = kClientHeight - kMargin;
// A label keeps one height at every size and sits on the list it names, a pixel above its top
// edge; its text keeps to its middle, so the text stays next to the list however large the
// window grows.
constexpr DWORD kLabelStyle = SS_LEFT | SS_CENTERIMAGE;
constexpr int kLabelBoxHeight = kLabelHeight - 1;

struct Column {
    const wchar_t* caption;
    long twips;
};
const Column kProgramColumns[] = {
    {L"Status", 630},           {L"Version", 1300},  {L"Programs on your Computer", 3750},
    {L"Executable (.Exe)", 1600}, {L"File Path", 4250}, {L"Short File Path", 4250},
};

// The shared instance, and the window the library's other parts reach.
std::unique_ptr<frmTesselOptions>& Slot() { return vb::ThreadInstance<std::unique_ptr<frmTesselOptions>>(); }

// Closed windows whose objects cannot go yet: a handler of theirs, or a modal loop above one,
// is still on the stack. They go at a later call, once nothing of theirs runs.
using RetiredWindows = std::vector<std::unique_ptr<frmTesselOptions>>;
RetiredWindows& Retired() { return vb::ThreadInstance<RetiredWindows>(); }

// The host frame of this thread, when the library runs inside one.
std::unique_ptr<HostFrameProxy> FindFrame() {
    HWND frame = nullptr;
    IDispatch* automation = FindHostFrameAutomation(&frame);
    if (!automation) return nullptr;
    return std::make_unique<HostFrameProxy>(frame, automation);
}

}  // namespace

frmTesselOptions::frmTesselOptions()
    : win::Window(L"frmTesselOptions"),
      tvwChoices(CreateFormAndTree()),
      lvwExts(Add<OptionsListView>(nullptr, L"lvwExts", -1, win::Rect{kRightLeft, kExtsTop, kRightWidth, kExtsHeight})),
      lvwPrograms(Add<OptionsListView>(
          nullptr, L"lvwPrograms", -1,
          win::Rect{kRightLeft, kProgramsTop, kRightWidth, kListsBottom - kProgramsTop})),
      lblChoices(Add<win::Label>(nullptr, L"lblChoices", -1, L"Categories",
                                 win::Rect{kMargin, kMargin, kTreeWidth, kLabelBoxHeight}, kLabelStyle)),
      lblExts(Add<win::Label>(nullptr, L"lblExts", -1, L"Extensions",
                              win::Rect{kRightLeft, kMargin, kRightWidth, kLabelBoxHeight}, kLabelStyle)),
      lblPrograms(Add<win::Label>(nullptr, L"lblPrograms", -1, L"Programs on your Computer",
                                  win::Rect{kRightLeft, kProgramsLabelTop, kRightWidth, kLabelBoxHeight}, kLabelStyle)),
      fraFilesToInclude(Add<win::Container>(nullptr, L"fraFilesToInclude", -1, L"Executables To Show",
                                            win::Rect{kRightLeft, kListsBottom, 330, 110}, true)),
      chkNormallyExcluded(Add<win::CheckBox>(&fraFilesToInclude, L"chkNormallyExcluded", -1,
                                             L"Show Normally Excluded Executables", win::Rect{10, 18, 310, 18})),
      chkWindows(Add<win::CheckBox>(&fraFilesToInclude, L"chkWindows", -1, L"Show Executables in the Windows Directory",
                                    win::Rect{10, 40, 310, 18})),
      chkSystemFiles(Add<win::CheckBox>(&fraFilesToInclude, L"chkSystemFiles", -1,
                                        L"Show Executables in Windows System Directory", win::Rect{10, 62, 310, 18})),
      chkRelatedOnly(Add<win::CheckBox>(&fraFilesToInclude, L"chkRelatedOnly", -1, L"Hide Normally Shown Executables",
                                        win::Rect{10, 84, 310, 18})),
      picButtonUp(Add<win::Container>(nullptr, L"picButtonUp", -1, L"", win::Rect{0, 0, 58, 42}, false)),
      picButtonDown(Add<win::Container>(nullptr, L"picButtonDown", -1, L"", win::Rect{0, 0, 58, 42}, false)),
      picButtonUpOver(Add<win::Container>(nullptr, L"picButtonUpOver", -1, L"", win::Rect{0, 0, 58, 42}, false)),
      mdiExt(*Find<HostMdiExtender>(L"mdiExt")) {
    automation_ = com::ComPtr<IDispatch>(CreateTesselOptionsAutomation(this));

    SetTag(L"RegistryName:='Lumox Options'");
    // The window's layout is a zoom: the tree and both lists keep their share of the client area,
    // so both lists grow with the window; each label is then laid on the list it names.
    // The filter boxes' frame is never shown; it lies along the lists' bottom edge and follows the
    // window's bottom edge. As the window's bottom-anchored control it makes the others scale with
    // the room above it rather than with the outer height, whose caption and borders would push
    // the lists past the bottom edge of a small window and leave a strip below them in a large one.
    tvwChoices.SetTag(L"ResizeAnchor1:='Left' ToolTip:='Your categories: drop programs and extensions on a subcategory'");
    lvwExts.SetTag(L"ToolTip:='Extensions registered with Windows'");
    lvwPrograms.SetTag(L"ToolTip:='Programs found on your computer'");
    lblChoices.SetTag(L"ResizeAnchor1:='Left'");
    fraFilesToInclude.SetTag(L"FixedSize:='True' ResizeAnchor1:='Bottom'");
    for (win::Container* box : {&fraFilesToInclude, &picButtonUp, &picButtonDown, &picButtonUpOver})
        box->SetVisible(false);
    for (win::CheckBox* box : {&chkNormallyExcluded, &chkWindows, &chkSystemFiles, &chkRelatedOnly})
        box->OnClick = [this] { FilterClicked(); };
    for (OptionsListView* list : {&lvwExts, &lvwPrograms})
        list->OnKeyDown = [this](WORD key) { Form_KeyUp(key); };

    tvwChoices.SetImageList(CategoryImageList());
    categories_ = std::make_unique<CategoryTree>(tvwChoices, *this);
    lvwExts.AddColumn(L"Ext", 70);
    lvwExts.AddColumn(L"Association", 300);

    // What the data model reaches of the options window while it is loaded.
    SetOptionsWindowServices(this);
    SetCategoryHost(this);
    GiveMessageBoxesToTheHostFrame();
    CreateEditing();

    Form_Initialize();
    Form_Load();
    created_ = true;
}

win::TreeView& frmTesselOptions::CreateFormAndTree() {
    // Inside the host frame the window is one of its MDI children; otherwise top-level.
    std::unique_ptr<HostFrameProxy> frame = FindFrame();
    HWND client = frame ? frame->MdiClient() : nullptr;
    if (client) {
        Create(L"Lumox Expert Options", kClientWidth, kClientHeight,
               WS_CHILD | WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_MDICHILD | WS_EX_CONTROLPARENT,
               client);
        // The MDI client shows a new child at once; loaded is not yet shown.
        ShowWindow(Handle(), SW_HIDE);
    } else
        Create(L"Lumox Expert Options", kClientWidth, kClientHeight, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
               WS_EX_CONTROLPARENT, nullptr);
    Adopt(std::unique_ptr<win::Control>(new HostMdiExtender(*this, client ? std::move(frame) : nullptr)));
    return Add<win::TreeView>(nullptr, L"tvwChoices", -1,
                              win::Rect{kMargin, kExtsTop, kTreeWidth, kClientHeight - kExtsTop - kMargin});
}

frmTesselOptions::~frmTesselOptions() {
    ReleaseEditing();
    if (automation_) DetachTesselOptionsAutomation(automation_.Get());
    for (HBITMAP& picture : pictures_)
        if (picture) {
            DeleteObject(picture);
            picture = nullptr;
        }
}

void frmTesselOptions::FreeClosedWindows() {
    if (win::ModalDepth() > 0) return;
    RetiredWindows& retired = Retired();
    retired.erase(std::remove_if(retired.begin(), retired.end(), [](const auto& w) { return !w->Running(); }),
                  retired.end());
    auto& p = Slot();
    if (p && !p->Loaded() && !p->Running()) p.reset();
}

frmTesselOptions& frmTesselOptions::Default() {
    auto& p = Slot();
    FreeClosedWindows();
    if (p && !p->Loaded()) {
        // Closed, but still running code or under a modal loop: kept until that ends.
        Retired().push_back(std::move(p));
        p.reset();
    }
    if (!p) {
        SetOptionsWindowAccessor([]() -> win::Window* { return frmTesselOptions::Existing(); });
        p.reset(new frmTesselOptions());
    }
    return *p;
}

frmTesselOptions* frmTesselOptions::Existing() {
    auto& p = Slot();
    return p && p->Loaded() ? p.get() : nullptr;
}

void frmTesselOptions::Form_Initialize() {
    TrappedVoid(L"Form_Initialize", [&] {
        windowState2_ = static_cast<short>(mdiExt.WindowState());
        interruptible_ = true;
        timerEventActive_ = true;
    });
}

void frmTesselOptions::Form_Load() {
    TrappedVoid(L"Form_Load", [&] {
        Move(Left(), Top(), kDesignWidth, kDesignHeight);
        OldFormWidth = Width();
        OldFormHeight = Height();
        for (const Column& c : kProgramColumns) lvwPrograms.AddColumn(c.caption, win::TwipsToPixelsX(c.twips));
        LoadPictures();
    });
}

void frmTesselOptions::LoadPictures() {
    for (int which : {tbpUp, tbpDown, tbpUpOver}) pictures_[which] = DrawToolbarButtonPicture(which);
}

std::wstring frmTesselOptions::GetHowDoIFile(const std::wstring& key) {
    auto it = noteFiles_.find(key);
    // A key that no menu item registered names no note.
    return it == noteFiles_.end() ? std::wstring() : it->second;
}

void frmTesselOptions::AddHowDoIFile(const std::wstring& key, const std::wstring& path) {
    noteFiles_[key] = path;
}

void frmTesselOptions::ShowForm() {
    if (!Loaded()) return;
    if (HostFrameProxy* frame = HostFrame(); frame && frame->MdiClient()) {
        ShowWindow(Handle(), SW_SHOW);
        SendMessageW(GetParent(Handle()), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(Handle()), 0);
        if (!addedToFrame_) {
            frame->AddMdiChild(Handle(), automation_.Get());
            addedToFrame_ = true;
        }
    } else {
        ShowWindow(Handle(), SW_SHOW);
        SetForegroundWindow(Handle());
    }
    // Showing is the first activation that the load sequence waits for.
    if (!activationPosted_) {
        activationPosted_ = true;
        PostMessageW(Handle(), WM_APP + 1, 0, 0);
    }
}

void frmTesselOptions::BringToFront() {
    if (!Loaded()) return;
    if (IsMdiChild() && GetParent(Handle()))
        SendMessageW(GetParent(Handle()), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(Handle()), 0);
    else
        SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// ---- what the data model reaches ----

void frmTesselOptions::ShowInfo(const std::wstring& text) {
    frmInfo::ShowText(text);
}

void frmTesselOptions::SetAliasCount(long) {
    // The alias records keep their own count (AliasCount); the alias dialog reads it there.
}

AutoAssociateDialog* frmTesselOptions::AutoAssociate() { return &SharedAutoAssociateDialog(); }


long frmTesselOptions::ExtensionRowTag(long row) const {
    std::wstring tag = lvwExts.RowTag(static_cast<int>(row) - 1);
    return tag.empty() ? 0 : std::wcstol(tag.c_str(), nullptr, 10);
}

void frmTesselOptions::ShowCrashRecoveryChoices(const std::wstring& title, bool onlyMailAndCopy) {
    OfferCrashRecoveryChoices(automation_.Get(), title, onlyMailAndCopy);
}

void frmTesselOptions::SetProgramListTimeStamp(const FILETIME& lastWrite) {
    FILETIME local{};
    SYSTEMTIME st{};
    if (FileTimeToLocalFileTime(&lastWrite, &local) && FileTimeToSystemTime(&local, &st)) {
        DATE date = 0;
        if (SystemTimeToVariantTime(&st, &date)) ProgramListDate = date;
    }
}

void frmTesselOptions::ShowMDIForm() {
    if (HostFrameProxy* frame = HostFrame()) frame->ShowMDIForm();
}

void frmTesselOptions::PlaceLabelsOnTheirLists() {
    for (const win::Control* c : {static_cast<const win::Control*>(&tvwChoices), static_cast<const win::Control*>(&lvwExts),
                                  static_cast<const win::Control*>(&lvwPrograms),
                                  static_cast<const win::Control*>(&fraFilesToInclude)})
        if (!c->HasPosition()) return;
    // The zoom decides the widths and the lists' bottom edge, which the hidden filter frame keeps
    // (it follows the window's bottom edge). Between the top labels and that edge the two lists
    // share the height as they do at the design size, less the programs label and its margin,
    // which keep their pixels: the room the labels do not take goes to the lists.
    const int bottom = fraFilesToInclude.Top();
    constexpr int kBetween = kProgramsTop - kExtsTop - kExtsHeight;  // margin and programs label
    constexpr int kProgramsHeight = kListsBottom - kProgramsTop;
    const int room = std::max(0, bottom - kExtsTop - kBetween);
    const int extsHeight = room * kExtsHeight / (kExtsHeight + kProgramsHeight);
    const int programsTop = kExtsTop + extsHeight + kBetween;
    tvwChoices.Move(tvwChoices.Left(), kExtsTop, tvwChoices.Width(), std::max(0, bottom - kExtsTop));
    lvwExts.Move(lvwExts.Left(), kExtsTop, lvwExts.Width(), extsHeight);
    lvwPrograms.Move(lvwPrograms.Left(), programsTop, lvwPrograms.Width(), std::max(0, bottom - programsTop));
    const struct {
        win::Label& label;
        win::Control& list;
    } pairs[] = {{lblChoices, tvwChoices}, {lblExts, lvwExts}, {lblPrograms, lvwPrograms}};
    for (const auto& p : pairs) {
        if (!p.label.HasPosition()) continue;
        p.label.Move(p.list.Left(), std::max(0, p.list.Top() - 1 - kLabelBoxHeight), p.list.Width(), kLabelBoxHeight);
    }
}
