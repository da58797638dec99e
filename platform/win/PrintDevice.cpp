#include "win/PrintDevice.h"

#include <winspool.h>

#include <cmath>
#include <vector>

#include "vb/VbError.h"

namespace win {

namespace {

// The run time's numbers for printer failures.
constexpr long ErrPrinter = 482;
constexpr long ErrPrinterInfo = 484;

[[noreturn]] void RaisePrinterError(const wchar_t* what) {
    vb::NoteLastDllError();
    vb::Raise(ErrPrinter, std::nullopt, std::wstring(L"Printer error: ") + what + L" failed.");
}

}  // namespace

// ---- PrintDevice ----

void PrintDevice::SetFontName(const std::wstring& name) {
    font_.Name = name;
    FontChanged();
}
void PrintDevice::SetFontSize(double points) {
    if (!(points > 0) || points > 2160) vb::Raise(vb::ErrInvalidCall);
    font_.Size = points;
    FontChanged();
}
void PrintDevice::SetFontBold(bool bold) {
    font_.Bold = bold;
    FontChanged();
}
void PrintDevice::SetFontItalic(bool italic) {
    font_.Italic = italic;
    FontChanged();
}
void PrintDevice::SetFontStrikethrough(bool strikethrough) {
    font_.Strikethrough = strikethrough;
    FontChanged();
}
void PrintDevice::SetFontUnderline(bool underline) {
    font_.Underline = underline;
    FontChanged();
}

double PrintDevice::TextWidth(const std::wstring& text) { return text.empty() ? 0.0 : MeasureWidth(text); }
double PrintDevice::TextHeight(const std::wstring& /*text*/) { return LineHeight(); }

void PrintDevice::BeginOutput() {
    if (inDocument_) return;
    StartDocument();
    inDocument_ = true;
    page_ = 1;
    StartPage();
}

void PrintDevice::Print(const std::wstring& text, bool endLine) {
    BeginOutput();
    if (!text.empty()) DrawTextAt(x_, y_, text);
    if (endLine) {
        x_ = 0;
        y_ += LineHeight();
    } else {
        x_ += TextWidth(text);
    }
}

void PrintDevice::Line(double x1, double y1, double x2, double y2) {
    BeginOutput();
    DrawLine(x1, y1, x2, y2);
    x_ = x2;
    y_ = y2;
}

void PrintDevice::NewPage() {
    BeginOutput();
    EndPage();
    ++page_;
    StartPage();
    x_ = 0;
    y_ = 0;
}

void PrintDevice::EndDoc() {
    if (inDocument_) {
        EndPage();
        EndDocument();
    }
    inDocument_ = false;
    page_ = 1;
    x_ = 0;
    y_ = 0;
}

// ---- GdiPrintDevice ----

GdiPrintDevice::GdiPrintDevice(HDC dc, bool framesDocument, std::wstring documentName, bool ownsDc)
    : dc_(dc),
      framesDocument_(framesDocument),
      documentName_(std::move(documentName)),
      ownsDc_(ownsDc),
      dpiX_(GetDeviceCaps(dc, LOGPIXELSX)),
      dpiY_(GetDeviceCaps(dc, LOGPIXELSY)) {
    if (dpiX_ <= 0) dpiX_ = 96;
    if (dpiY_ <= 0) dpiY_ = 96;
    SetMapMode(dc_, MM_TEXT);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(0, 0, 0));
    SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    SelectCurrentFont();
}

GdiPrintDevice::~GdiPrintDevice() {
    // A document that did not finish is thrown away rather than sent half done.
    if (framesDocument_ && documentOpen_) AbortDoc(dc_);
    if (originalFont_) SelectObject(dc_, originalFont_);
    if (font_) DeleteObject(font_);
    if (ownsDc_) DeleteDC(dc_);
}

std::unique_ptr<GdiPrintDevice> GdiPrintDevice::OpenDefaultPrinter(const std::wstring& documentName) {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    std::vector<wchar_t> name(size ? size : 1, L'\0');
    if (size == 0 || !GetDefaultPrinterW(name.data(), &size)) {
        vb::NoteLastDllError();
        vb::Raise(ErrPrinterInfo, std::nullopt,
                  L"Problem getting printer information from the system. Make sure the printer is set up "
                  L"correctly.");
    }
    HDC dc = CreateDCW(L"WINSPOOL", name.data(), nullptr, nullptr);
    if (!dc) RaisePrinterError(L"Opening the default printer");
    return std::make_unique<GdiPrintDevice>(dc, true, documentName, true);
}

double GdiPrintDevice::ScaleWidth() const { return static_cast<double>(GetDeviceCaps(dc_, HORZRES)) / dpiX_; }
double GdiPrintDevice::ScaleHeight() const { return static_cast<double>(GetDeviceCaps(dc_, VERTRES)) / dpiY_; }

int GdiPrintDevice::DeviceX(double inches) const { return static_cast<int>(std::lround(inches * dpiX_)); }
int GdiPrintDevice::DeviceY(double inches) const { return static_cast<int>(std::lround(inches * dpiY_)); }

void GdiPrintDevice::FontChanged() { SelectCurrentFont(); }

void GdiPrintDevice::SelectCurrentFont() {
    const PrintFont& f = Font();
    LOGFONTW lf{};
    lf.lfHeight = -static_cast<LONG>(std::lround(f.Size * dpiY_ / 72.0));
    lf.lfWeight = f.Bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = f.Italic ? TRUE : FALSE;
    lf.lfUnderline = f.Underline ? TRUE : FALSE;
    lf.lfStrikeOut = f.Strikethrough ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    lstrcpynW(lf.lfFaceName, f.Name.c_str(), LF_FACESIZE);
    HFONT created = CreateFontIndirectW(&lf);
    // Without a new font the device keeps the one it has.
    if (!created) return;
    HGDIOBJ previous = SelectObject(dc_, created);
    if (!originalFont_) originalFont_ = previous;
    if (font_) DeleteObject(font_);
    font_ = created;
}

double GdiPrintDevice::MeasureWidth(const std::wstring& text) {
    SIZE size{};
    if (!GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size))
        RaisePrinterError(L"Measuring text");
    return static_cast<double>(size.cx) / dpiX_;
}

double GdiPrintDevice::LineHeight() {
    TEXTMETRICW tm{};
    if (!GetTextMetricsW(dc_, &tm)) RaisePrinterError(L"Reading the font");
    return static_cast<double>(tm.tmHeight + tm.tmExternalLeading) / dpiY_;
}

void GdiPrintDevice::DrawTextAt(double x, double y, const std::wstring& text) {
    if (!TextOutW(dc_, DeviceX(x), DeviceY(y), text.c_str(), static_cast<int>(text.size())))
        RaisePrinterError(L"Printing text");
}

void GdiPrintDevice::DrawLine(double x1, double y1, double x2, double y2) {
    HGDIOBJ previous = SelectObject(dc_, GetStockObject(BLACK_PEN));
    bool drawn = MoveToEx(dc_, DeviceX(x1), DeviceY(y1), nullptr) && LineTo(dc_, DeviceX(x2), DeviceY(y2));
    SelectObject(dc_, previous);
    if (!drawn) RaisePrinterError(L"Drawing a line");
}

void GdiPrintDevice::StartDocument() {
    if (!framesDocument_) return;
    DOCINFOW info{};
    info.cbSize = sizeof(info);
    info.lpszDocName = documentName_.c_str();
    if (StartDocW(dc_, &info) <= 0) RaisePrinterError(L"Starting the document");
    documentOpen_ = true;
}

void GdiPrintDevice::StartPage() {
    if (!framesDocument_) return;
    if (::StartPage(dc_) <= 0) RaisePrinterError(L"Starting a page");
    pageOpen_ = true;
    // Some drivers reset the device context at each page.
    SetMapMode(dc_, MM_TEXT);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(0, 0, 0));
    SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    if (font_) SelectObject(dc_, font_);
}

void GdiPrintDevice::EndPage() {
    if (!framesDocument_ || !pageOpen_) return;
    pageOpen_ = false;
    if (::EndPage(dc_) <= 0) RaisePrinterError(L"Ending a page");
}

void GdiPrintDevice::EndDocument() {
    if (!framesDocument_ || !documentOpen_) return;
    documentOpen_ = false;
    if (::EndDoc(dc_) <= 0) RaisePrinterError(L"Ending the document");
}

}  // namespace win
