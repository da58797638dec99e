// A print device with fixed metrics that records what is printed, for layout tests. Its
// lengths are binary fractions, so sums and comparisons of widths come out exact.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "win/PrintDevice.h"

struct PrintOp {
    enum Kind { Text, Line, NewPage, EndDoc } kind;
    long page = 1;
    double x = 0, y = 0, x2 = 0, y2 = 0;
    std::wstring text;
    win::PrintFont font;
};

using PrintLog = std::vector<PrintOp>;

class RecordingPrintDevice : public win::PrintDevice {
public:
    explicit RecordingPrintDevice(std::shared_ptr<PrintLog> log = std::make_shared<PrintLog>(), double width = 7.5,
                                  double height = 10)
        : log_(std::move(log)), width_(width), height_(height) {}

    // Per character: a 128th of an inch per point, three 256ths when bold. A line: a 64th per point.
    static double CharWidth(double points, bool bold) { return bold ? points * 3 / 256 : points / 128; }
    static double LineHeightOf(double points) { return points / 64; }

    double ScaleWidth() const override { return width_; }
    double ScaleHeight() const override { return height_; }
    const PrintLog& Log() const { return *log_; }
    std::shared_ptr<PrintLog> SharedLog() const { return log_; }

protected:
    double MeasureWidth(const std::wstring& text) override {
        return static_cast<double>(text.size()) * CharWidth(Font().Size, Font().Bold);
    }
    double LineHeight() override { return LineHeightOf(Font().Size); }
    void DrawTextAt(double x, double y, const std::wstring& text) override {
        log_->push_back(PrintOp{PrintOp::Text, Page(), x, y, 0, 0, text, Font()});
    }
    void DrawLine(double x1, double y1, double x2, double y2) override {
        log_->push_back(PrintOp{PrintOp::Line, Page(), x1, y1, x2, y2, L"", Font()});
    }
    void EndPage() override { pageEnded_ = true; }
    void StartPage() override {
        if (pageEnded_) log_->push_back(PrintOp{PrintOp::NewPage, Page(), 0, 0, 0, 0, L"", Font()});
        pageEnded_ = false;
    }
    void EndDocument() override {
        log_->push_back(PrintOp{PrintOp::EndDoc, Page(), 0, 0, 0, 0, L"", Font()});
        pageEnded_ = false;
    }

private:
    std::shared_ptr<PrintLog> log_;
    double width_;
    double height_;
    bool pageEnded_ = false;
};
