// The printed lists of the association windows: the restorer's difference list and the
// previewer controller's extension list, each a plain table on the default printer with a
// page heading, the column headings between two rules and one line per list row, the columns
// fitted to the page width.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win/PrintDevice.h"
#include "win/Window.h"

// What a printed list shows: the column headings and the rows, cells in column order.
struct PrintTable {
    struct Row {
        std::vector<std::wstring> Cells;
        bool Checked = false;
    };
    std::vector<std::wstring> Headings;
    std::vector<Row> Rows;
};

// The first columns of a list view in list order: the row's text, then its sub-items.
PrintTable ReadPrintTable(const win::ListView& list, int columns);

// The current width when it is larger than the text's width plus twice the spacing, else that sum.
double SetColWidth(double currentWidth, double textWidth, double spacing);

// The text less as many characters at its end as it takes to fit the width on the device; an
// empty text always fits, and no width (0 or less) leaves nothing.
std::wstring TextLimitWidth(const std::wstring& text, win::PrintDevice& device, double limit);

// The title of the restorer's list: "Lumox " major "." minor " Expert Edition - ...".
std::wstring RestorerListTitle(long majorVersion, long minorVersion);
inline constexpr const wchar_t* PreviewerListTitle = L"Lumox - Extension/Previewer List";
inline constexpr const wchar_t* PreviewerListFootnote = L"Bolded & Italiced Extensions have been Lumox enabled.";

// The two layouts. Errors propagate to the caller; the document is ended on success.
void PrintRestorerTable(const PrintTable& table, win::PrintDevice& device, const std::wstring& title);
void PrintPreviewerTable(const PrintTable& table, win::PrintDevice& device);

// The device the "Print" buttons print on: the system's default printer, unless a test has
// put a maker of its own in place. Answers the previous maker (empty: the default printer).
using PrintDeviceMaker = std::function<std::unique_ptr<win::PrintDevice>()>;
PrintDeviceMaker SetPrintDeviceMaker(PrintDeviceMaker maker);
std::unique_ptr<win::PrintDevice> OpenPrintDevice(const std::wstring& documentName);

// The windows' PrintList: the list view's five (restorer) or two (previewer) columns straight
// to the printer. A failure goes to the error trace under "PrintList" and printing stops.
enum class PrintedList { Restorer, Previewer };
void PrintList(const win::ListView& list, PrintedList which);

// The major and minor version of this module's version resource (1 and 0 without one).
void ModuleVersion(long& majorVersion, long& minorVersion);
