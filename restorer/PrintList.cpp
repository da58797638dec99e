#include "PrintList.h"

#include <algorithm>

#include "basErrorHandler.h"
#include "basIO.h"
#include "vb/VbApp.h"
#include "vb/VbError.h"

namespace {

// The fixed values of one of the two layouts.
struct Style {
    double margin;         // all four
    double spacing;
    bool previewer;
};
constexpr Style kRestorer{0.5, 0.1, false};
constexpr Style kPreviewer{1.0, 0.5, true};
constexpr double kLargestStretch = 1.05;
constexpr double kHeadingSize = 10;
constexpr double kTableSize = 8;

class Printout {
public:
    Printout(const PrintTable& table, win::PrintDevice& device, const Style& style, std::wstring title)
        : table_(table), device_(device), style_(style), title_(std::move(title)),
          columns_(table.Headings.size()) {}

    void Run() {
        SetStartingFont();
        MeasureColumns();
        FitToPage();
        PageHeading();
        ColumnHeadings();
        TableFont();
        long rowsSinceRule = 0;
        for (const PrintTable::Row& row : table_.Rows) {
            if (style_.previewer) {
                PreviewerRow(row);
                device_.Print(L"", true);
            } else {
                RestorerRow(row);
                // A rule after every third row; page breaks do not start the count again.
                if (++rowsSinceRule == 3) {
                    rowsSinceRule = 0;
                    Rule();
                }
            }
            PageBreakCheck();
        }
        Rule();
        if (style_.previewer) {
            device_.SetCurrentX(style_.margin);
            device_.SetFontBold(true);
            device_.Print(PreviewerListFootnote, true);
        }
        device_.EndDoc();
    }

private:
    std::wstring Cell(const PrintTable::Row& row, size_t k) const {
        return k < row.Cells.size() ? row.Cells[k] : std::wstring();
    }

    // A failing font setting leaves the printer's own font in place.
    void SetStartingFont() {
        auto quietly = [](auto&& set) {
            try {
                set();
            } catch (...) {
                vb::Err().Clear();
            }
        };
        quietly([&] { device_.SetFontName(L"Arial"); });
        quietly([&] { device_.SetFontBold(true); });
        quietly([&] { device_.SetFontItalic(false); });
        quietly([&] { device_.SetFontSize(kTableSize); });
        quietly([&] { device_.SetFontStrikethrough(false); });
        quietly([&] { device_.SetFontUnderline(false); });
    }

    // The restorer gives each column its widest text plus twice the spacing; the previewer
    // the widest text alone, measured in the font it is printed in.
    void Widen(size_t k, double textWidth) {
        if (style_.previewer)
            width_[k] = std::max(width_[k], textWidth);
        else
            width_[k] = SetColWidth(width_[k], textWidth, style_.spacing);
    }

    void MeasureColumns() {
        width_.assign(columns_, 0.0);
        for (size_t k = 0; k < columns_; ++k) Widen(k, device_.TextWidth(table_.Headings[k]));
        device_.SetFontBold(false);
        for (const PrintTable::Row& row : table_.Rows) {
            for (size_t k = 0; k < columns_; ++k) {
                if (style_.previewer) {
                    const bool emphasised = k == 0 && row.Checked;
                    device_.SetFontBold(emphasised);
                    device_.SetFontItalic(emphasised);
                }
                Widen(k, device_.TextWidth(Cell(row, k)));
            }
        }
        device_.SetFontBold(false);
        device_.SetFontItalic(false);
    }

    // A table wider than the page shrinks to fit it exactly; a narrow one grows by 5 % at most.
    void FitToPage() {
        double total = 0;
        for (double w : width_) total += w;
        if (style_.previewer) total += style_.spacing;
        const double available = device_.ScaleWidth() - 2 * style_.margin;
        double ratio = total > 0 ? available / total : kLargestStretch;
        if (ratio > kLargestStretch) ratio = kLargestStretch;
        left_.assign(columns_, style_.margin);
        for (size_t k = 0; k < columns_; ++k) {
            width_[k] *= ratio;
            if (k > 0) left_[k] = left_[k - 1] + width_[k - 1];
        }
    }

    double Limit(size_t k) const { return style_.previewer ? width_[k] : width_[k] - style_.spacing; }

    void PageHeading() {
        device_.SetCurrentX(style_.margin);
        device_.SetCurrentY(style_.margin);
        device_.SetFontBold(true);
        device_.SetFontSize(kHeadingSize);
        device_.Print(L"Page " + std::to_wstring(device_.Page()) + L"    " + title_, true);
        device_.Print(L"", true);
    }

    void ColumnHeadings() {
        device_.SetFontSize(kTableSize);
        device_.SetFontBold(true);
        Rule();
        for (size_t k = 0; k < columns_; ++k) {
            device_.SetCurrentX(left_[k]);
            device_.Print(TextLimitWidth(table_.Headings[k], device_, Limit(k)), k + 1 == columns_);
        }
        Rule();
    }

    void TableFont() {
        device_.SetFontSize(kTableSize);
        device_.SetFontBold(false);
    }

    void Rule() {
        const double gap = style_.previewer ? device_.TextHeight(L"x") : device_.TextHeight(L"x") / 4;
        const double right = columns_ ? left_.back() + width_.back() : style_.margin;
        device_.SetCurrentY(device_.CurrentY() + gap);
        const double y = device_.CurrentY();
        device_.Line(style_.margin, y, right, y);
        device_.SetCurrentY(y + gap);
    }

    void RestorerRow(const PrintTable::Row& row) {
        for (size_t k = 0; k < columns_; ++k) {
            device_.SetCurrentX(left_[k]);
            device_.Print(TextLimitWidth(Cell(row, k), device_, Limit(k)), k + 1 == columns_);
        }
    }

    // A checked row's extension stands out in bold italic; the rest is regular.
    void PreviewerRow(const PrintTable::Row& row) {
        for (size_t k = 0; k < columns_; ++k) {
            const bool emphasised = k == 0 && row.Checked;
            device_.SetFontBold(emphasised);
            device_.SetFontItalic(emphasised);
            device_.SetCurrentX(left_[k]);
            device_.Print(TextLimitWidth(Cell(row, k), device_, Limit(k)), k + 1 == columns_);
        }
        device_.SetFontBold(false);
        device_.SetFontItalic(false);
    }

    void PageBreakCheck() {
        if (device_.CurrentY() < device_.ScaleHeight() - style_.margin) return;
        device_.NewPage();
        PageHeading();
        ColumnHeadings();
        TableFont();
    }

    const PrintTable& table_;
    win::PrintDevice& device_;
    const Style& style_;
    std::wstring title_;
    size_t columns_;
    std::vector<double> width_;
    std::vector<double> left_;
};

PrintDeviceMaker& Maker() {
    static PrintDeviceMaker maker;
    return maker;
}

}  // namespace

PrintTable ReadPrintTable(const win::ListView& list, int columns) {
    PrintTable table;
    for (int k = 0; k < columns; ++k) table.Headings.push_back(list.ColumnHeader(k));
    const int count = list.Count();
    for (int i = 0; i < count; ++i) {
        PrintTable::Row row;
        for (int k = 0; k < columns; ++k) row.Cells.push_back(list.ItemText(i, k));
        row.Checked = list.Checked(i);
        table.Rows.push_back(std::move(row));
    }
    return table;
}

double SetColWidth(double currentWidth, double textWidth, double spacing) {
    const double needed = textWidth + 2 * spacing;
    return currentWidth > needed ? currentWidth : needed;
}

std::wstring TextLimitWidth(const std::wstring& text, win::PrintDevice& device, double limit) {
    if (limit <= 0) return {};
    std::wstring fitted = text;
    while (!fitted.empty() && device.TextWidth(fitted) > limit) fitted.pop_back();
    return fitted;
}

std::wstring RestorerListTitle(long majorVersion, long minorVersion) {
    return L"Lumox " + std::to_wstring(majorVersion) + L"." + std::to_wstring(minorVersion) +
           L" Expert Edition - Extension & Association Diagnostic List";
}

void PrintRestorerTable(const PrintTable& table, win::PrintDevice& device, const std::wstring& title) {
    Printout(table, device, kRestorer, title).Run();
}

void PrintPreviewerTable(const PrintTable& table, win::PrintDevice& device) {
    Printout(table, device, kPreviewer, PreviewerListTitle).Run();
}

PrintDeviceMaker SetPrintDeviceMaker(PrintDeviceMaker maker) {
    PrintDeviceMaker previous = std::move(Maker());
    Maker() = std::move(maker);
    return previous;
}

std::unique_ptr<win::PrintDevice> OpenPrintDevice(const std::wstring& documentName) {
    if (Maker()) return Maker()();
    return win::GdiPrintDevice::OpenDefaultPrinter(documentName);
}

void ModuleVersion(long& majorVersion, long& minorVersion) {
    majorVersion = 1;
    minorVersion = 0;
    DWORD size = 0;
    VS_FIXEDFILEINFO info = GetVersionInfo(vb::ModuleFileName(vb::ThisModule()), size);
    if (info.dwSignature != 0xFEEF04BD) return;
    majorVersion = HIWORD(info.dwFileVersionMS);
    minorVersion = LOWORD(info.dwFileVersionMS);
}

void PrintList(const win::ListView& list, PrintedList which) {
    TrappedVoid(L"PrintList", [&] {
        const bool previewer = which == PrintedList::Previewer;
        PrintTable table = ReadPrintTable(list, previewer ? 2 : 5);
        std::wstring title = PreviewerListTitle;
        if (!previewer) {
            long major = 0, minor = 0;
            ModuleVersion(major, minor);
            title = RestorerListTitle(major, minor);
        }
        std::unique_ptr<win::PrintDevice> device = OpenPrintDevice(title);
        if (!device) vb::Raise(vb::ErrInvalidCall);
        if (previewer)
            PrintPreviewerTable(table, *device);
        else
            PrintRestorerTable(table, *device, title);
    });
}
