// The restorer's activation sequence with its crash marks, the snapshot's "Save", and the
// buttons that mark rows.
#include <algorithm>

#include "AssocRestore.h"
#include "basAssocCompare.h"
#include "basAssocSnapshot.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "basWinAPI_Windows.h"
#include "frmAssociationRestorer.h"
#include "frmCrashRecoveryChoices.h"
#include "frmDoingStuff.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

constexpr const wchar_t* kFirstTimeValue = L"Morva Utility Manager First Time";

void WriteLogSnapshot(long value) { IniFile(IniWrite, L"Log Snapshot", vb::Variant(value)); }

// The progress window, when one is open, closed as its caller closes it.
void CloseProgressWindow() {
    try {
        if (frmDoingStuff* progress = frmDoingStuff::Existing()) {
            progress->SetUserInterruptible(true);
            progress->SetClosedByCode(true);
            progress->Close();
        }
        win::DefaultInstance<frmDoingStuff>::Release();
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
}

// The answer of the crash-recovery dialog as a button index; no choice counts as 0.
long ChoiceOf(const vb::Variant& value) {
    try {
        if (value.IsEmpty() || value.IsNull()) return rcSend;
        return value.ToLong();
    } catch (...) {
        vb::Err().Clear();
        return rcSend;
    }
}

}  // namespace

frmAssociationRestorer::WorkHold::WorkHold(frmAssociationRestorer& form) : form_(form), options_(OptionsServices()) {
    ++form_.work_;
    if (options_) options_->ToolWorkBegins();
}

frmAssociationRestorer::WorkHold::~WorkHold() {
    // The options window may have gone meanwhile (its end from outside does not wait).
    if (options_ && OptionsServices() == options_) options_->ToolWorkEnds();
    if (form_.work_ > 0) --form_.work_;
    if (form_.work_ == 0 && form_.closePending_) {
        form_.closePending_ = false;
        if (form_.Loaded()) PostMessageW(form_.Handle(), WM_CLOSE, 0, 0);
    }
}

void frmAssociationRestorer::ShowNothingCompared() {
    compared_ = false;
    AssocDiffs().assign(1, AssocDiff{});
    DisplayDiffs();
}

bool frmAssociationRestorer::CompareWithRegistry() {
    std::wstring why;
    if (!ReloadModelFromRegistry(&why)) {
        if (!Loaded()) return false;
        ShowNothingCompared();
        CurrentMessagePresenter().Show(NotComparedText(why), MB_OK | MB_ICONEXCLAMATION, RestorerMessageTitle);
        return false;
    }
    if (!Loaded()) return false;
    DetermineAssocExtDiffs();
    compared_ = true;
    DisplayDiffs();
    return true;
}

void frmAssociationRestorer::Form_Activate() {
    if (firstActivation_ || !Loaded()) return;
    firstActivation_ = true;
    ProcGuard guard;
    WorkHold work(*this);
    bool controlsOff = false;
    // However the sequence ends: no progress window is left behind, the controls work again.
    struct Tidy {
        frmAssociationRestorer& form;
        bool& controlsOff;
        ~Tidy() {
            CloseProgressWindow();
            if (controlsOff && form.Loaded()) SetControlsEnabled(form, true);
        }
    } tidy{*this, controlsOff};
    try {
        optionsHold_.Take();
        Refresh();
        SetControlsEnabled(*this, false);
        controlsOff = true;

        bool isWindows9x = false;
        IniFile(IniWrite, L"OS Version", vb::Variant(GetWindowsVersionName(isWindows9x)));
        SnapshotLogLevel() = static_cast<short>(IniFile(IniRead, L"Log Snapshot", {}, vb::Variant(0L)).ToLong());

        if (SnapshotLogLevel() == 1) {
            MessageHandler(MessageBase + 4531);
            WriteLogSnapshot(2);
        } else if (SnapshotLogLevel() == 2) {
            OfferCrashRecoveryChoices(Automation(), L"Please select one the follow options.", false);
            if (!Loaded()) return;
            if (ChoiceOf(returnValue_) != rcRetry) {
                UnloadForm();
                return;
            }
            SnapshotLogLevel() = 0;
        }

        const std::wstring faulty = IniFile(IniRead, L"Key Exten 1", {}, vb::Variant(L"0")).ToString();
        if (faulty.size() > 1) {
            MessageHandler(MessageBase + 4537);
            UnloadForm();
            return;
        }

        if (SnapshotLogLevel() < 1) WriteLogSnapshot(1);
        const bool savedNow = CheckForAssocSnapshot();
        SetProgressCheckpoint(L"FA: After CFAS");
        if (!Loaded()) return;

        const std::wstring firstRun = Registry(regGet, L"4", L"", vb::Variant(kFirstTimeValue), std::nullopt,
                                               vb::Variant(L"True"), HKEY_LOCAL_MACHINE, true)
                                          .ToString();
        if (vb::TextEquals(vb::Trim(firstRun), L"True")) {
            WriteLogSnapshot(0);
            UnloadForm();
            return;
        }

        // The registry as it stands now, not as the options window last loaded it: the list
        // offers to delete what is new since the snapshot. A Save that just ran has compared.
        if (!savedNow) CompareWithRegistry();
        if (!Loaded()) return;
        SetProgressCheckpoint(L"FA: After DAED");
        SetProgressCheckpoint(L"FA: After DD");
        if (controlsOff) SetControlsEnabled(*this, true);
        controlsOff = false;
        MessageHandler(MessageBase + 4527);
        // An empty list says "nothing changed" only when there was a snapshot to compare with.
        if (Loaded() && compared_ && lvw->Count() == 0 && SnapshotRead()) {
            vb::Err().Clear();
            MessageHandler(MessageBase + 4528);
        }
        if (Loaded() && compared_ && SnapshotRead() && !SnapshotLive())
            CurrentMessagePresenter().Show(SnapshotNotLiveText(GetSnapshotFilePath()), MB_OK | MB_ICONINFORMATION,
                                           RestorerMessageTitle);
        WriteLogSnapshot(0);
    } catch (...) {
        TrapError(L"Form_Activate");
    }
}

bool frmAssociationRestorer::CheckForAssocSnapshot() {
    bool saved = false;
    TrappedVoid(L"CheckForAssocSnapshot", [&] {
        const std::wstring path = GetSnapshotFilePath();
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            MessageHandler(MessageBase + 4515);
            saved = true;
            // The new snapshot is read back once and is live; a failure has been told and
            // compared (or not) already.
            RefreshAssocSnapshot();
            vb::DoEvents();
            return;
        }
        GetAssocSnapshot(path);
    });
    return saved;
}

bool frmAssociationRestorer::RefreshAssocSnapshot() {
    ProcGuard guard;
    WorkHold work(*this);
    bool result = false;
    bool controlsOff = false;
    bool modelWhole = false;
    bool saved = false;
    std::wstring notSaved;
    long count = 0;
    const std::wstring path = GetSnapshotFilePath();
    try {
        SetControlsEnabled(*this, false);
        controlsOff = true;
        // The snapshot is the registry as it stands when the user saves: a model loaded earlier
        // would leave out keys added since, and a later restore would delete them as new.
        std::wstring why;
        modelWhole = ReloadModelFromRegistry(&why);
        if (!modelWhole) throw SnapshotNotSaved{why + L", so a snapshot would leave some of them out"};
        count = ExtKeys().empty() ? 0 : static_cast<long>(ExtKeys().size()) - 1;
        frmDoingStuff& progress = frmDoingStuff::Default();
        progress.SetCaller(this);
        progress.lblTitle.SetText(L"Saving...");
        progress.lblNote.SetText(L"Step 1 of 1: Saving snapshot of Windows file associations");
        progress.lblInfo.SetText(L"");
        // An empty model still gives the bar a range it can show.
        const int maximum = static_cast<int>(std::max(2L, 2 * count));
        progress.prg.SetRange(1, maximum);
        progress.prg.SetValue(1);
        progress.prg.SetVisible(true);
        progress.Show();

        const long step = std::max(1L, count / 100);
        long stepCounter = step;
        long processed = 0;
        const std::vector<long>& order = ExtByName();
        auto tick = [&](long p) {
            ++processed;
            if (stepCounter < step) {
                ++stepCounter;
                return;
            }
            stepCounter = 0;
            if (frmDoingStuff* shown = frmDoingStuff::Existing()) {
                shown->prg.SetValue(static_cast<int>(std::min<long>(processed, maximum)));
                if (p >= 0 && static_cast<size_t>(p) < order.size() && static_cast<size_t>(order[p]) < ExtKeys().size())
                    shown->lblInfo.SetText(ExtKeys()[static_cast<size_t>(order[p])].KeyName);
            }
        };
        // Read back once: on success the snapshot arrays hold the new file, else the last one.
        WriteAssocSnapshot(path, ExtKeys(), AssocKeys(), order, tick);
        saved = true;
        // The new snapshot goes into the archive at once, as a save of the user's edits does;
        // only a file that has been read back whole gets there.
        TrappedVoid(L"RefreshAssocSnapshot", [] { UpdateArchive(); });

        SetProgressCheckpoint(L"SS: After CFAS");
        DetermineAssocExtDiffs();
        compared_ = true;
        SetProgressCheckpoint(L"SS: After DAED");
        DisplayDiffs();
        SetProgressCheckpoint(L"SS: After DD");
        result = true;
    } catch (const SnapshotNotSaved& refused) {
        vb::Err().Clear();
        notSaved = refused.why;
    } catch (...) {
        vb::CaptureCurrentException();
        if (saved) {
            TrapError(L"RefreshAssocSnapshot");
        } else {
            notSaved = vb::Trim(vb::Err().Description);
            if (notSaved.empty()) notSaved = L"an error stopped the save";
            vb::Err().Clear();
        }
    }
    if (frmDoingStuff* progress = frmDoingStuff::Existing()) {
        try {
            progress->prg.SetValue(static_cast<int>(count));
            progress->lblInfo.SetText(L"");
        } catch (...) {
            vb::Err().Clear();
        }
    }
    CloseProgressWindow();
    SetProgressCheckpoint(L"SS: After Unload FDS");
    // Every failure takes this one road: the user is told, the last good file is read again and
    // compared with the registry as it now is; a registry that could not be read whole is not
    // compared at all.
    if (!notSaved.empty() && Loaded()) {
        CurrentMessagePresenter().Show(SnapshotNotSavedText(notSaved), MB_OK | MB_ICONEXCLAMATION,
                                       RestorerMessageTitle);
        TrappedVoid(L"RefreshAssocSnapshot", [&] {
            if (!Loaded()) return;
            if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) GetAssocSnapshot(path);
            if (!Loaded()) return;
            if (modelWhole) {
                DetermineAssocExtDiffs();
                compared_ = true;
                DisplayDiffs();
            } else {
                ShowNothingCompared();
            }
        });
    }
    if (controlsOff && Loaded()) SetControlsEnabled(*this, true);
    return result;
}

void frmAssociationRestorer::cmd_Click(int index) {
    // A failing step is passed over; the next one runs.
    try {
        switch (index) {
            case 0: RefreshAssocSnapshot(); break;
            case 1: RestoreMarkedChanges(); break;
            case 2: MarkUnmarkLvwItems(1); break;
            case 3: MarkUnmarkLvwItems(3); break;
            case 4: MarkUnmarkLvwItems(2); break;
            case 5: MarkUnmarkLvwItems(4); break;
            case 6: MarkUnmarkLvwItems(0); break;
            case 7: PrintList(*lvw, PrintedList::Restorer); break;
            default: break;
        }
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
}

void frmAssociationRestorer::chk_Click(int index) {
    try {
        if (index == 0 || index == 1) {
            SetButtonsEnabledState();
        } else if (index == 3) {
            for (int i = 4; i <= 8; ++i) SetControlEnabled(*this, *chk[i], chk[3]->Checked());
            DisplayDiffs();
        } else if (index >= 2 && index <= 8) {
            DisplayDiffs();
        }
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
}

void frmAssociationRestorer::MarkUnmarkLvwItems(int mode) {
    ProcGuard guard;
    // Switched off and on in pairs: a caller's own switching stays as it was.
    SetControlsEnabled(*this, false);
    const int rows = lvw->Count();
    for (int row = 0; row < rows; ++row) {
        try {
            const int kind = KindOfAction(lvw->ItemText(row));
            bool fits = false;
            switch (mode) {
                case 0: fits = kind == dkAssocRemoved || kind == dkExtRemoved; break;
                case 1: fits = true; break;
                case 2: fits = lvw->Selected(row); break;
                case 3: fits = kind == dkAssocAdded || kind == dkExtAdded; break;
                case 4: fits = kind == dkAssocChanged; break;
                default: break;
            }
            if (fits) MarkUnmarkLvwItem(row);
        } catch (...) {
            vb::Err().Clear();
        }
    }
    SetControlsEnabled(*this, true);
    SetButtonsEnabledState();
}

bool frmAssociationRestorer::MarkUnmarkLvwItem(int row) {
    ProcGuard guard;
    try {
        const int kind = KindOfAction(lvw->ItemText(row));
        bool set = false;
        if (kind == dkExtRemoved || kind == dkExtAdded) set = chk[0]->Checked();
        else if (kind >= dkAssocRemoved && kind <= dkAssocChanged) set = chk[1]->Checked();
        if (!set) return false;
        // A mark set by code is no user's check: the check rule does not run for it.
        CountScope codeCheck(codeChecks_);
        lvw->SetChecked(row, opt[0]->Checked());
        return true;
    } catch (...) {
        TrapError(L"MarkUnmarkLvwItem");
        return false;
    }
}
