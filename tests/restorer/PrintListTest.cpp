#include <windows.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PrintList.h"
#include "RecordingPrintDevice.h"
#include "vb/VbError.h"

namespace {

const std::vector<std::wstring> kRestorerHeadings = {L"Action", L"Ext.", L"Was", L"Is", L"Status"};

PrintTable RestorerTable(int rows, const std::wstring& filler = L"a") {
    PrintTable t;
    t.Headings = kRestorerHeadings;
    for (int i = 1; i <= rows; ++i)
        t.Rows.push_back({{L"r" + std::to_wstring(i), filler, filler, filler, filler}, false});
    return t;
}

std::vector<const PrintOp*> OfKind(const PrintLog& log, PrintOp::Kind kind) {
    std::vector<const PrintOp*> ops;
    for (const PrintOp& op : log)
        if (op.kind == kind) ops.push_back(&op);
    return ops;
}

// Row markers ("r" and a number) as R, rules as L, page breaks as P, in print order.
std::string Events(const PrintLog& log) {
    std::string events;
    for (const PrintOp& op : log) {
        if (op.kind == PrintOp::Line) events += 'L';
        if (op.kind == PrintOp::NewPage) events += 'P';
        if (op.kind == PrintOp::Text && op.text.size() > 1 && op.text[0] == L'r' && iswdigit(op.text[1]))
            events += 'R';
    }
    return events;
}

const PrintOp* TextOp(const PrintLog& log, const std::wstring& text) {
    for (const PrintOp& op : log)
        if (op.kind == PrintOp::Text && op.text == text) return &op;
    return nullptr;
}

double Regular8(size_t chars) { return static_cast<double>(chars) * RecordingPrintDevice::CharWidth(8, false); }
double Bold8(size_t chars) { return static_cast<double>(chars) * RecordingPrintDevice::CharWidth(8, true); }

TEST(ColumnWidths, SetColWidthKeepsTheWiderOfTheCurrentWidthAndTheTextWithItsSpacing) {
    struct Case {
        double current, text, spacing, expected;
    } cases[] = {
        {0, 1.0, 0.1, 1.2},    // from nothing: the text and the spacing on both sides
        {1.5, 1.0, 0.1, 1.5},  // already wider
        {1.2, 1.0, 0.1, 1.2},  // exactly as wide
        {1.0, 1.0, 0.1, 1.2},  // narrower
        {0, 0, 0.5, 1.0},      // an empty text still takes its spacing
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(SetColWidth(c.current, c.text, c.spacing), c.expected) << c.current << " " << c.text;
}

TEST(ColumnWidths, TextLimitWidthCutsCharacterByCharacterAndNeverFailsOnAnEmptyText) {
    RecordingPrintDevice device;
    device.SetFontSize(8);
    const double exact = device.TextWidth(L"abcd");
    struct Case {
        std::wstring text;
        double limit;
        std::wstring expected;
    } cases[] = {
        {L"abcd", exact, L"abcd"},     // exactly the allowed width: kept whole
        {L"abcde", exact, L"abcd"},    // one character more: cut
        {L"abcdefghij", exact, L"abcd"},
        {L"ab", exact, L"ab"},
        {L"", exact, L""},
        {L"", 0, L""},                 // no room at all
        {L"abcd", 0, L""},
        {L"abcd", -1.5, L""},          // a page narrower than its margins
        {L"abcd", Regular8(1) / 2, L""},
    };
    for (const Case& c : cases) EXPECT_EQ(TextLimitWidth(c.text, device, c.limit), c.expected) << c.limit;
}

TEST(RestorerPrint, ANarrowListGrowsByFivePercentAtMost) {
    RecordingPrintDevice device;
    PrintTable table = RestorerTable(2, L"abc");
    PrintRestorerTable(table, device, RestorerListTitle(2, 7));
    const PrintLog& log = device.Log();

    // Headings bold, rows regular, each plus 0.1 inch on both sides.
    std::vector<double> natural;
    for (size_t k = 0; k < 5; ++k) {
        double heading = Bold8(kRestorerHeadings[k].size()) + 0.2;
        double cell = Regular8(k == 0 ? 2 : 3) + 0.2;
        natural.push_back(std::max(heading, cell));
    }
    const double total = std::accumulate(natural.begin(), natural.end(), 0.0);
    ASSERT_LT(total * 1.05, 6.5);

    auto lines = OfKind(log, PrintOp::Line);
    ASSERT_FALSE(lines.empty());
    EXPECT_DOUBLE_EQ(lines[0]->x, 0.5);
    EXPECT_NEAR(lines[0]->x2 - lines[0]->x, total * 1.05, 1e-9);
    // Each column starts where the one before it ends.
    double x = 0.5;
    for (size_t k = 0; k < 5; ++k) {
        const PrintOp* heading = TextOp(log, kRestorerHeadings[k]);
        ASSERT_NE(heading, nullptr);
        EXPECT_NEAR(heading->x, x, 1e-9) << k;
        EXPECT_TRUE(heading->font.Bold);
        x += natural[k] * 1.05;
    }
    const PrintOp* title = TextOp(log, L"Page 1    Lumox 2.7 Expert Edition - Extension & Association Diagnostic List");
    ASSERT_NE(title, nullptr);
    EXPECT_DOUBLE_EQ(title->x, 0.5);
    EXPECT_DOUBLE_EQ(title->y, 0.5);
    EXPECT_TRUE(title->font.Bold);
    EXPECT_EQ(title->font.Size, 10);
    EXPECT_EQ(title->font.Name, L"Arial");
    const PrintOp* cell = TextOp(log, L"r1");
    ASSERT_NE(cell, nullptr);
    EXPECT_FALSE(cell->font.Bold);
    EXPECT_EQ(cell->font.Size, 8);
    EXPECT_EQ(log.back().kind, PrintOp::EndDoc);
}

TEST(RestorerPrint, AWideListShrinksToThePageAndCutsItsLongTexts) {
    RecordingPrintDevice device;
    const std::wstring longText(200, L'w');
    PrintTable table = RestorerTable(1, longText);
    PrintRestorerTable(table, device, L"T");
    const PrintLog& log = device.Log();

    auto lines = OfKind(log, PrintOp::Line);
    ASSERT_FALSE(lines.empty());
    EXPECT_NEAR(lines[0]->x2 - lines[0]->x, 7.5 - 2 * 0.5, 1e-9) << "exactly the printable width";
    for (const PrintOp& op : log) {
        if (op.kind != PrintOp::Text || op.text.empty() || op.text[0] != L'w') continue;
        EXPECT_LT(op.text.size(), longText.size());
        EXPECT_GT(op.text.size(), 10u);
        EXPECT_LE(op.x + Regular8(op.text.size()), lines[0]->x2 + 1e-9) << "no cell runs past the table";
    }
}

TEST(RestorerPrint, RulesFollowEveryThirdRowAndTheLastOne) {
    struct Case {
        int rows;
        std::string events;
    } cases[] = {
        {0, "LLL"},
        {2, "LLRRL"},
        {9, "LLRRRLRRRLRRRLL"},  // a multiple of three: two rules at the end
        {10, "LLRRRLRRRLRRRLRL"},
    };
    for (const Case& c : cases) {
        RecordingPrintDevice device;
        PrintRestorerTable(RestorerTable(c.rows), device, L"T");
        EXPECT_EQ(Events(device.Log()), c.events) << c.rows << " rows";
        EXPECT_EQ(OfKind(device.Log(), PrintOp::NewPage).size(), 0u);
    }
}

TEST(RestorerPrint, AnEmptyListPrintsOnePageWithItsHeadings) {
    RecordingPrintDevice device;
    PrintRestorerTable(RestorerTable(0), device, L"Title");
    const PrintLog& log = device.Log();
    EXPECT_NE(TextOp(log, L"Page 1    Title"), nullptr);
    for (const std::wstring& h : kRestorerHeadings) EXPECT_NE(TextOp(log, h), nullptr);
    auto lines = OfKind(log, PrintOp::Line);
    ASSERT_EQ(lines.size(), 3u);
    const PrintOp* heading = TextOp(log, L"Action");
    EXPECT_LT(lines[0]->y, heading->y);
    EXPECT_GT(lines[1]->y, heading->y);
    EXPECT_EQ(log.back().kind, PrintOp::EndDoc);
}

TEST(RestorerPrint, APageBreakRepeatsTheHeadingsAndKeepsTheRuleCount) {
    // Room for a few rows a page: 3 inches less the margins.
    RecordingPrintDevice device(std::make_shared<PrintLog>(), 7.5, 3);
    PrintRestorerTable(RestorerTable(20), device, L"T");
    const PrintLog& log = device.Log();
    auto breaks = OfKind(log, PrintOp::NewPage);
    ASSERT_GE(breaks.size(), 2u);

    // After each break: the page heading with its number, then the headings between two rules.
    for (size_t b = 0; b < log.size(); ++b) {
        if (log[b].kind != PrintOp::NewPage) continue;
        ASSERT_LT(b + 9, log.size());
        EXPECT_EQ(log[b + 1].text, L"Page " + std::to_wstring(log[b].page) + L"    T");
        EXPECT_DOUBLE_EQ(log[b + 1].y, 0.5);
        EXPECT_EQ(log[b + 2].kind, PrintOp::Line);
        for (size_t k = 0; k < 5; ++k) EXPECT_EQ(log[b + 3 + k].text, kRestorerHeadings[k]);
        EXPECT_EQ(log[b + 8].kind, PrintOp::Line);
        EXPECT_FALSE(log[b + 9].font.Bold) << "rows go on in the table's regular type";
    }
    // Nothing is printed beyond the page; the rows still get their rule after every third.
    for (const PrintOp& op : log) {
        if (op.kind == PrintOp::Text) {
            EXPECT_LT(op.y, 3.0);
        }
    }
    std::string events = Events(log);
    events.erase(std::remove(events.begin(), events.end(), 'P'), events.end());
    int rows = 0, rulesAfterThird = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i] != 'R') continue;
        ++rows;
        if (rows % 3 == 0 && i + 1 < events.size() && events[i + 1] == 'L') ++rulesAfterThird;
    }
    EXPECT_EQ(rows, 20);
    EXPECT_EQ(rulesAfterThird, 6);
}

PrintTable PreviewerTable() {
    PrintTable t;
    t.Headings = {L"Extension", L"Association"};
    t.Rows.push_back({{L".bmp", L"Paint.Picture"}, true});
    t.Rows.push_back({{L".gif", L"giffile"}, false});
    return t;
}

TEST(PreviewerPrint, CheckedExtensionsStandOutAndTheListEndsWithItsNote) {
    RecordingPrintDevice device;
    PrintPreviewerTable(PreviewerTable(), device);
    const PrintLog& log = device.Log();

    EXPECT_NE(TextOp(log, L"Page 1    Lumox - Extension/Previewer List"), nullptr);
    const PrintOp* bmp = TextOp(log, L".bmp");
    const PrintOp* bmpAssoc = TextOp(log, L"Paint.Picture");
    const PrintOp* gif = TextOp(log, L".gif");
    ASSERT_TRUE(bmp && bmpAssoc && gif);
    EXPECT_TRUE(bmp->font.Bold && bmp->font.Italic);
    EXPECT_FALSE(bmpAssoc->font.Bold || bmpAssoc->font.Italic);
    EXPECT_FALSE(gif->font.Bold || gif->font.Italic);
    EXPECT_DOUBLE_EQ(bmp->x, 1.0);
    // An empty line after every row, no rule between rows.
    EXPECT_DOUBLE_EQ(gif->y - bmp->y, 2 * RecordingPrintDevice::LineHeightOf(8));
    EXPECT_EQ(Events(log), "LLL") << "the heading rules and the closing one only";
    auto lines = OfKind(log, PrintOp::Line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_GT(lines[2]->y, gif->y);

    // The note closes the list, at the margin in bold, a full "x" below the rule.
    ASSERT_GE(log.size(), 2u);
    const PrintOp& note = log[log.size() - 2];
    EXPECT_EQ(note.text, PreviewerListFootnote);
    EXPECT_DOUBLE_EQ(note.x, 1.0);
    EXPECT_TRUE(note.font.Bold);
    EXPECT_DOUBLE_EQ(note.y - lines[2]->y, RecordingPrintDevice::LineHeightOf(8));
    EXPECT_EQ(log.back().kind, PrintOp::EndDoc);
}

TEST(PreviewerPrint, ColumnsTakeTheirWidestTextAndTheSpacingOnlyCountsForTheFit) {
    RecordingPrintDevice device;
    PrintPreviewerTable(PreviewerTable(), device);
    const PrintLog& log = device.Log();
    // Widest texts: "Extension" in bold (heading) against ".bmp" in bold italic; "Association"
    // in bold against "Paint.Picture" regular.
    const double w1 = std::max(Bold8(9), Bold8(4));
    const double w2 = std::max(Bold8(11), Regular8(13));
    const double ratio = std::min(1.05, 6.5 / (w1 + w2 + 0.5));
    const PrintOp* association = TextOp(log, L"Paint.Picture");
    ASSERT_NE(association, nullptr);
    EXPECT_NEAR(association->x, 1.0 + w1 * ratio, 1e-9) << "no spacing between the columns";
    auto lines = OfKind(log, PrintOp::Line);
    EXPECT_NEAR(lines[0]->x2 - lines[0]->x, (w1 + w2) * ratio, 1e-9);

    // Shrunk to the page: the spacing's share of the width stays empty at the right.
    RecordingPrintDevice narrow(std::make_shared<PrintLog>(), 3.0, 10);
    PrintTable wide = PreviewerTable();
    wide.Rows[1].Cells[1] = std::wstring(100, L'g');
    PrintPreviewerTable(wide, narrow);
    auto narrowLines = OfKind(narrow.Log(), PrintOp::Line);
    const double w2Wide = Regular8(100);
    EXPECT_NEAR(narrowLines[0]->x2 - narrowLines[0]->x, 1.0 * (w1 + w2Wide) / (w1 + w2Wide + 0.5), 1e-9);
}

TEST(PreviewerPrint, AnEmptyListStillHasItsHeadingsRuleAndNote) {
    RecordingPrintDevice device;
    PrintTable t;
    t.Headings = {L"Extension", L""};
    PrintPreviewerTable(t, device);
    const PrintLog& log = device.Log();
    EXPECT_NE(TextOp(log, L"Extension"), nullptr);
    EXPECT_EQ(OfKind(log, PrintOp::Line).size(), 3u);
    EXPECT_NE(TextOp(log, PreviewerListFootnote), nullptr);
    EXPECT_EQ(OfKind(log, PrintOp::NewPage).size(), 0u);
}

// The GDI back end on an enhanced metafile: what it draws is read back from the records.
struct MetafileContents {
    std::vector<std::wstring> texts;
    int lines = 0;
};

int CALLBACK CollectRecord(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) {
    auto* contents = reinterpret_cast<MetafileContents*>(data);
    if (record->iType == EMR_EXTTEXTOUTW) {
        auto* text = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
        const auto* chars = reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(record) + text->emrtext.offString);
        contents->texts.emplace_back(chars, text->emrtext.nChars);
    } else if (record->iType == EMR_LINETO) {
        ++contents->lines;
    }
    return 1;
}

TEST(GdiPrintDevice, DrawsTheListOnAnEnhancedMetafile) {
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, L"Lumox\0List\0");
    ASSERT_NE(dc, nullptr);
    {
        win::GdiPrintDevice device(dc, false, L"List", false);
        EXPECT_GT(device.ScaleWidth(), 2.0);
        EXPECT_GT(device.ScaleHeight(), 2.0);
        device.SetFontName(L"Arial");
        device.SetFontSize(8);
        const double regular = device.TextWidth(L"Extension");
        const double line8 = device.TextHeight(L"x");
        device.SetFontBold(true);
        EXPECT_GT(regular, 0.0);
        EXPECT_GE(device.TextWidth(L"Extension"), regular);
        device.SetFontBold(false);
        device.SetFontSize(16);
        EXPECT_GT(device.TextHeight(L"x"), line8 * 1.5) << "sizes in points through the device's resolution";
        PrintPreviewerTable(PreviewerTable(), device);
    }
    HENHMETAFILE metafile = CloseEnhMetaFile(dc);
    ASSERT_NE(metafile, nullptr);
    MetafileContents contents;
    EnumEnhMetaFile(nullptr, metafile, &CollectRecord, &contents, nullptr);
    DeleteEnhMetaFile(metafile);

    auto has = [&](const std::wstring& text) {
        return std::find(contents.texts.begin(), contents.texts.end(), text) != contents.texts.end();
    };
    EXPECT_TRUE(has(L"Page 1    Lumox - Extension/Previewer List"));
    EXPECT_TRUE(has(L".bmp"));
    EXPECT_TRUE(has(L"Paint.Picture"));
    EXPECT_TRUE(has(PreviewerListFootnote));
    EXPECT_EQ(contents.lines, 3);
}

TEST(PrintDevice, PrintingMovesThePositionAsThePrinterDoes) {
    RecordingPrintDevice device;
    device.SetFontSize(8);
    device.SetCurrentX(1);
    device.SetCurrentY(2);
    device.Print(L"abc", false);
    EXPECT_DOUBLE_EQ(device.CurrentX(), 1 + Regular8(3));
    EXPECT_DOUBLE_EQ(device.CurrentY(), 2);
    device.Print(L"", true);
    EXPECT_DOUBLE_EQ(device.CurrentX(), 0);
    EXPECT_DOUBLE_EQ(device.CurrentY(), 2 + RecordingPrintDevice::LineHeightOf(8));
    EXPECT_EQ(device.Page(), 1);
    device.NewPage();
    EXPECT_EQ(device.Page(), 2);
    EXPECT_DOUBLE_EQ(device.CurrentY(), 0);
    device.EndDoc();
    EXPECT_EQ(device.Page(), 1) << "a new document starts at page 1";
    EXPECT_THROW(device.SetFontSize(0), vb::Error);
}

}  // namespace
