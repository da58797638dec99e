#include "basDefaultAssociations.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "CategoryHost.h"
#include "NeighbourServices.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basProgramList.h"
#include "basRegistryModel.h"
#include "basStrings.h"
#include "basUserInterface.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

const wchar_t* const DefaultAssociationTable =
    L"*|notepad.exe,wordpad.exe|Non-associated Files|These programs are for any files that are not associated with "
    L"any extensions. These will be placed under the special subcategory of: 'Non-associated Extensions:All' on the "
    L"Association List.|Non-associated Extensions:All\r\n"
    L".bmp,.eps,.gif,.jpg,.jpeg,.jpe,.pcx,.pdd,.psd,.rle,.tif|mspaint.exe,photoed.exe,photopnt.exe,photoshp.exe|"
    L"Graphics|These are common graphics extensions and programs and will be placed under the subcategory: "
    L"'Graphic Design:Graphics' on the Association List.|Graphic Design:Graphics\r\n"
    L".htm,.html,.shtm,.shtml|dreamweaver.exe,golive.exe,iexplore.exe,netscape.exe,netscp.exe,notepad.exe,"
    L"wordpad.exe|HTML|These are common HTML extensions and programs and will be placed under the subcategory: "
    L"'Web Mastering:HTML' on the Association List.|Web Mastering:HTML\r\n"
    L".aac,.ac3,.avi,.bsn,.buy,.byu,.cda,.cdi,.dv,.mid,.mov,.mp2,.mp3,.mp4,.mpeg,.mpg,.qt,.ra,.ram,.rm,.rmi,.rv,"
    L".swf,.vob,.vod,.wav,.wma,.wsz,.xmi|airspace.exe,cdrun2.exe,dxplayer.exe,fmod.exe,fmvview.exe,freeamp.exe,"
    L"media jukebox.exe,medSauce.exe,mn.exe,mplayer.exe,mplayer2.exe,nplayer.exe,orangecd.exe,"
    L"quicktimeplayer.exe,realjbox.exe,realplay.exe,seehear.exe,starcd.exe,vcdplay2.exe,viddiplayer.exe,"
    L"videodesktop.exe,vmidi.exe,vtuner.exe,winamp.exe,wmplayer.exe,yplayer.exe,zplayer.exe|Multimedia|These are "
    L"common Multimedia extensions and programs and will be placed under the subcategory: 'Multimedia:Players' on "
    L"the Association List.|Multimedia:Players\r\n"
    L".qbb,.qbw|qbw32.exe|QuickBooks|These are common QuickBooks extensions and programs and will be placed under "
    L"the subcategory: 'Accounting:Commercial' on the Association List.|Accounting:Commercial\r\n"
    L".rtf|winword.exe,wordpad.exe|Rich Text|This is the Rich Text extension and programs and will be placed under "
    L"the subcategory: 'My Windows Association Overrides:RTF' on the Association List.|"
    L"My Windows Association Overrides:RTF\r\n"
    L".log,.txt|notepad.exe,winword.exe,wordpad.exe|Text Files|These are common Plain Text extensions and programs "
    L"and will be placed under the subcategory: 'My Windows Association Overrides:Text' on the Association List.|"
    L"My Windows Association Overrides:Text";

const wchar_t* const KnownProgramNames =
    L"airspace.exe,cdrun2.exe,dreamweaver.exe,dxplayer.exe,fmod.exe,fmvview.exe,freeamp.exe,golive.exe,"
    L"iexplore.exe,media jukebox.exe,medSauce.exe,mn.exe,mplayer.exe,mplayer2.exe,mspaint.exe,netscape.exe,"
    L"netscp.exe,notepad.exe,nplayer.exe,orangecd.exe,photoed.exe,photopnt.exe,photoshp.exe,qbw32.exe,"
    L"quicktimeplayer.exe,realjbox.exe,realplay.exe,seehear.exe,starcd.exe,vcdplay2.exe,viddiplayer.exe,"
    L"videodesktop.exe,vmidi.exe,vtuner.exe,winamp.exe,winword.exe,wmplayer.exe,wordpad.exe,yplayer.exe,"
    L"zplayer.exe";

// The merge walk needs this in the same order as the extension records' name order.
const wchar_t* const KnownExtensions =
    L"*,.aac,.ac3,.avi,.bmp,.bsn,.buy,.byu,.cda,.cdi,.dv,.eps,.gif,.htm,.html,.jpe,.jpeg,.jpg,.Log,.mid,.mov,.mp2,"
    L".mp3,.mp4,.mpeg,.mpg,.pcx,.pdd,.psd,.qbb,.qbw,.qt,.ra,.ram,.rle,.rm,.rmi,.rtf,.rv,.shtm,.shtml,.swf,.tif,"
    L".txt,.vob,.vod,.wav,.wma,.wsz,.xmi";

namespace {

// Both lists sorted the same way: for each known name, every candidate equal to it, the walk
// resuming where the previous known name stopped. candidate(p) gives the name at position p
// (empty to pass it over), take(p, known) records a match.
template <class Candidate, class Take>
void MergeWalk(const std::vector<std::wstring>& known, long first, long last, Candidate candidate, Take take) {
    long position = first;
    for (const std::wstring& name : known) {
        while (position <= last) {
            std::wstring c = candidate(position);
            if (c.empty()) {
                ++position;
                continue;
            }
            int order = vb::StrComp(c, name, vb::TextCompare);
            if (order > 0) break;
            if (order == 0) take(position, name);
            ++position;
        }
    }
}

std::vector<std::wstring> Fields(const std::wstring& line) { return vb::Split(line, L"|"); }

bool Contains(const std::wstring& text, const wchar_t* part) { return vb::InStr(1, text, part, vb::TextCompare) > 0; }

// The row's entries among the found ones: in the order of the row's names, for one name in the
// order found.
std::vector<FoundEntry> RowEntries(const std::vector<FoundEntry>& found, const std::wstring& names) {
    std::vector<FoundEntry> row;
    for (const std::wstring& name : vb::Split(names, L",")) {
        for (const FoundEntry& f : found)
            if (vb::TextEquals(f.second, name)) row.push_back(f);
    }
    return row;
}

bool LineFieldsAt(long index, std::vector<std::wstring>& fields) {
    const std::vector<std::wstring>& lines = ProgramLines();
    if (index < 0 || static_cast<size_t>(index) >= lines.size()) return false;
    if (lines[index].size() < 4) return false;
    fields = Fields(lines[index]);
    return fields.size() >= 5;
}

void SelectOnly(win::ListView& list, int row) {
    HWND h = list.Handle();
    if (!h) return;
    ListView_SetItemState(h, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(h, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// Processes window events until the dialog is answered or gone.
void WaitForAnswer(AutoAssociateDialog& dialog) {
    for (;;) {
        vb::DoEvents();
        if (!dialog.Loaded() || dialog.Answered()) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

}  // namespace

std::vector<FoundEntry> FindKnownPrograms(const std::vector<std::wstring>& programLines, long lastLine) {
    std::vector<FoundEntry> found;
    long last = std::min<long>(lastLine, static_cast<long>(programLines.size()) - 1);
    if (last < 0) return found;
    std::vector<std::wstring> names(last + 1);
    for (long i = 0; i <= last; ++i) {
        std::vector<std::wstring> f = Fields(programLines[i]);
        if (f.size() > 3) names[i] = GetFileName(f[3]);
    }
    std::vector<long> order = Sort(names, vb::TextCompare, 0);
    MergeWalk(
        vb::Split(KnownProgramNames, L","), 0, last,
        [&](long p) {
            const std::wstring& n = names[order[p]];
            return n.size() < 4 ? std::wstring() : n;
        },
        [&](long p, const std::wstring& known) {
            std::vector<std::wstring> f = Fields(programLines[order[p]]);
            const std::wstring& longPath = f.size() > 3 ? f[3] : std::wstring();
            if (Contains(longPath, L"ServicePack") || Contains(longPath, L"Uninstall")) return;
            found.push_back({order[p], known});
        });
    return found;
}

std::vector<FoundEntry> FindKnownExtensions() {
    std::vector<FoundEntry> found;
    const RegKeyRecords& exts = ExtKeys();
    const std::vector<long>& byName = ExtByName();
    MergeWalk(
        vb::Split(KnownExtensions, L","), 1, static_cast<long>(byName.size()) - 1,
        [&](long p) {
            long r = byName[p];
            return (r > 0 && static_cast<size_t>(r) < exts.size()) ? exts[r].KeyName : std::wstring();
        },
        [&](long p, const std::wstring& known) { found.push_back({byName[p], known}); });
    return found;
}

bool FindDefaultProgram(const std::vector<FoundEntry>& rowPrograms, const std::vector<std::wstring>& fields) {
    std::wstring version = ModelWindowsVersionName();
    if (!vb::TextEquals(version, L"Windows 2000") && !vb::TextEquals(version, L"Windows XP") &&
        !vb::TextEquals(version, L"Windows ?? P2"))
        return false;
    if (fields.size() < 4 || !vb::TextEquals(GetFileName(fields[3]), L"notepad.exe")) return false;
    if (!vb::TextEquals(fields[2], L"WD")) return false;
    for (const FoundEntry& p : rowPrograms) {
        std::vector<std::wstring> other;
        if (!LineFieldsAt(p.first, other)) continue;
        if (vb::TextEquals(other[2], L"SD") && vb::TextEquals(GetFileName(other[3]), L"notepad.exe")) return true;
    }
    return false;
}

void FindSiblingByText(const win::TreeNodes& tree, win::TreeNode& node, const std::wstring& text, bool& found) {
    found = false;
    while (node) {
        if (vb::TextEquals(tree.Text(node), text)) {
            found = true;
            return;
        }
        win::TreeNode next = tree.Next(node);
        if (!next) return;
        node = next;
    }
}

bool RunDefaultAssociations() {
    // Errors end the run; the caller goes on with its next step.
    ProcGuard guard;
    bool result = false;
    OptionsWindowServices* window = OptionsServices();
    CategoryHost* host = CurrentCategoryHost();
    if (!window || !host || !window->CategoryFileUntouched()) return false;
    AutoAssociateDialog* dialogPointer = window->AutoAssociate();
    if (!dialogPointer) return false;
    AutoAssociateDialog& dialog = *dialogPointer;
    win::TreeNodes& tree = host->Choices();

    std::vector<FoundEntry> programs = FindKnownPrograms(ProgramLines(), ProgramLineLast());
    std::vector<FoundEntry> extensions = FindKnownExtensions();

    std::vector<std::wstring> rows = vb::Split(DefaultAssociationTable, L"\r\n");
    long setsLeft = static_cast<long>(rows.size());
    bool declineAsked = false;
    for (const std::wstring& rowText : rows) {
        std::vector<std::wstring> row = Fields(rowText);
        row.resize(5);
        std::vector<FoundEntry> rowPrograms = RowEntries(programs, row[1]);
        std::vector<FoundEntry> rowExtensions = RowEntries(extensions, row[0]);

        if (!dialog.Loaded()) dialog.ShowModeless();
        dialog.SetLabel(4, std::to_wstring(setsLeft));
        dialog.SetLabel(2, row[2]);
        dialog.SetLabel(0, row[3]);
        --setsLeft;
        std::wstring shown;
        for (const FoundEntry& e : rowExtensions) shown += (shown.empty() ? L"" : L", ") + e.second;
        dialog.SetLabel(3, L"[ " + shown + L" ]");

        win::ListView& list = dialog.Programs();
        list.Clear();
        for (const FoundEntry& p : rowPrograms) {
            std::vector<std::wstring> fields;
            if (!LineFieldsAt(p.first, fields)) continue;
            bool unchecked = FindDefaultProgram(rowPrograms, fields);
            window->AddProgramListRow(list, fields, std::to_wstring(p.first), !unchecked);
        }
        if (!rowPrograms.empty()) ListViewAutoSizeColumns(list);

        const bool complete = !rowPrograms.empty() && !rowExtensions.empty();
        dialog.SetAnswered(false);
        if (!dialog.AddAll() && complete) WaitForAnswer(dialog);
        if (!dialog.Loaded()) continue;
        const bool answered = dialog.Answered();
        const bool addSelected = dialog.AddSelected();
        const bool addAll = dialog.AddAll();

        if (!(addAll || (addSelected && answered))) {
            // The user declined the set: once per run ask whether that was meant.
            if (!complete || declineAsked) continue;
            declineAsked = true;
            vb::Variant answer = MessageHandler(MessageBase + 5001);
            if (answer.IsNumeric() && answer.ToLong() == AnswerYes) continue;
        }

        std::vector<std::wstring> target = vb::Split(row[4], L":");
        target.resize(2);
        win::TreeNode category = tree.FirstNode();
        bool found = false;
        FindSiblingByText(tree, category, target[0], found);
        if (!found || tree.Children(category) == 0) continue;
        win::TreeNode subcategory = tree.Child(category);
        FindSiblingByText(tree, subcategory, target[1], found);
        if (!found) continue;

        for (int i = 0; i < list.Count(); ++i) {
            if (!list.Checked(i)) continue;
            SelectOnly(list, i);
            window->AddProgramToSubcategory(subcategory, list, true);
            result = true;
        }
        for (const FoundEntry& e : rowExtensions) {
            if (e.second == L"*") continue;  // "Non-associated Extensions:All" holds it already
            window->AddExtensionToSubcategory(subcategory, ExtKeys().at(e.first).KeyName, e.first, true);
            result = true;
        }
        window->ScrollChoicesToLeft();
    }

    if (dialog.Loaded()) dialog.Unload();
    if (result) {
        win::TreeNode first = tree.FirstNode();
        if (first) tree.EnsureVisible(first);
    }
    MessageHandler(MessageBase + 4520);
    return result;
}
