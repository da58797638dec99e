// The printer as the printed lists use it: a page measured in inches from the top-left corner
// of its printable area, a current position, one font at a time, text printed at the current
// position, black lines and page breaks. The document starts with the first output and ends
// with EndDoc. The drawing itself is left to a back end: GDI on a device context (the default
// printer, or any other DC such as an enhanced metafile) or a recorder in the tests.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

namespace win {

struct PrintFont {
    std::wstring Name = L"Arial";
    double Size = 10;  // points
    bool Bold = false;
    bool Italic = false;
    bool Strikethrough = false;
    bool Underline = false;
};

class PrintDevice {
public:
    PrintDevice() = default;
    PrintDevice(const PrintDevice&) = delete;
    PrintDevice& operator=(const PrintDevice&) = delete;
    virtual ~PrintDevice() = default;

    // The printable area in inches.
    virtual double ScaleWidth() const = 0;
    virtual double ScaleHeight() const = 0;

    double CurrentX() const { return x_; }
    double CurrentY() const { return y_; }
    void SetCurrentX(double x) { x_ = x; }
    void SetCurrentY(double y) { y_ = y; }

    const PrintFont& Font() const { return font_; }
    void SetFontName(const std::wstring& name);
    void SetFontSize(double points);
    void SetFontBold(bool bold);
    void SetFontItalic(bool italic);
    void SetFontStrikethrough(bool strikethrough);
    void SetFontUnderline(bool underline);

    // The number of the page being printed: 1 on a new document.
    long Page() const { return page_; }

    // Width of the text, and height of a line of it, in the current font (inches).
    double TextWidth(const std::wstring& text);
    double TextHeight(const std::wstring& text);

    // Prints the text at the current position. Staying on the line moves the position to the
    // text's end; ending the line moves it to the left edge of the next line.
    void Print(const std::wstring& text, bool endLine);
    // A black line; the current position moves to its end.
    void Line(double x1, double y1, double x2, double y2);
    // Ends the page and starts the next one at the top-left corner.
    void NewPage();
    // Ends the document; the next output starts a new one.
    void EndDoc();

protected:
    // Back ends measure and draw in the current font (FontChanged tells them it changed).
    virtual void FontChanged() {}
    virtual double MeasureWidth(const std::wstring& text) = 0;
    virtual double LineHeight() = 0;
    virtual void DrawTextAt(double x, double y, const std::wstring& text) = 0;
    virtual void DrawLine(double x1, double y1, double x2, double y2) = 0;
    virtual void StartDocument() {}
    virtual void StartPage() {}
    virtual void EndPage() {}
    virtual void EndDocument() {}

private:
    void BeginOutput();

    double x_ = 0;
    double y_ = 0;
    long page_ = 1;
    bool inDocument_ = false;
    PrintFont font_;
};

// GDI on a device context: fonts in points through LOGPIXELSY, inches through LOGPIXELSX/Y.
// With document framing (a printer DC) pages go through StartDoc, StartPage, EndPage and
// EndDoc; a document left unfinished is aborted when the device goes.
class GdiPrintDevice : public PrintDevice {
public:
    GdiPrintDevice(HDC dc, bool framesDocument, std::wstring documentName, bool ownsDc);
    ~GdiPrintDevice() override;

    // The system's default printer; raises run-time error 484 when there is none.
    static std::unique_ptr<GdiPrintDevice> OpenDefaultPrinter(const std::wstring& documentName);

    double ScaleWidth() const override;
    double ScaleHeight() const override;

protected:
    void FontChanged() override;
    double MeasureWidth(const std::wstring& text) override;
    double LineHeight() override;
    void DrawTextAt(double x, double y, const std::wstring& text) override;
    void DrawLine(double x1, double y1, double x2, double y2) override;
    void StartDocument() override;
    void StartPage() override;
    void EndPage() override;
    void EndDocument() override;

private:
    void SelectCurrentFont();
    int DeviceX(double inches) const;
    int DeviceY(double inches) const;

    HDC dc_;
    bool framesDocument_;
    std::wstring documentName_;
    bool ownsDc_;
    bool documentOpen_ = false;
    bool pageOpen_ = false;
    int dpiX_;
    int dpiY_;
    HFONT font_ = nullptr;
    HGDIOBJ originalFont_ = nullptr;
};

}  // namespace win
