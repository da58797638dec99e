#include "vb/VbError.h"

#include <windows.h>

#include <new>
#include <stdexcept>

#include "vb/VbThreadState.h"

namespace vb {

namespace {
std::wstring g_projectName = L"Lumox";

struct RuntimeText {
    long number;
    const wchar_t* text;
};

const RuntimeText kRuntimeTexts[] = {
    {3, L"Return without GoSub"},
    {5, L"Invalid procedure call or argument"},
    {6, L"Overflow"},
    {7, L"Out of memory"},
    {9, L"Subscript out of range"},
    {10, L"This array is fixed or temporarily locked"},
    {11, L"Division by zero"},
    {13, L"Type mismatch"},
    {14, L"Out of string space"},
    {28, L"Out of stack space"},
    {51, L"Internal error"},
    {52, L"Bad file name or number"},
    {53, L"File not found"},
    {54, L"Bad file mode"},
    {55, L"File already open"},
    {57, L"Device I/O error"},
    {58, L"File already exists"},
    {61, L"Disk full"},
    {62, L"Input past end of file"},
    {67, L"Too many files"},
    {68, L"Device unavailable"},
    {70, L"Permission denied"},
    {71, L"Disk not ready"},
    {75, L"Path/File access error"},
    {76, L"Path not found"},
    {91, L"Object variable or With block variable not set"},
    {92, L"For loop not initialized"},
    {94, L"Invalid use of Null"},
    {424, L"Object required"},
    {429, L"ActiveX component can't create object"},
    {430, L"Class does not support Automation or does not support expected interface"},
    {438, L"Object doesn't support this property or method"},
    {440, L"Automation error"},
    {445, L"Object doesn't support this action"},
    {449, L"Argument not optional"},
    {450, L"Wrong number of arguments or invalid property assignment"},
    {462, L"The remote server machine does not exist or is unavailable"},
    {481, L"Invalid picture"},
};
}  // namespace

void ErrObject::Clear() { *this = ErrObject{}; }

ErrObject& Err() { return ThreadInstance<ErrObject>(); }

void SetProjectName(const std::wstring& name) { g_projectName = name; }
const std::wstring& ProjectName() { return g_projectName; }

std::wstring RuntimeErrorText(long number) {
    for (const auto& t : kRuntimeTexts)
        if (t.number == number) return t.text;
    if (number > 0 && number <= 65535) return L"Application-defined or object-defined error";
    if (number < 0) return L"Automation error";
    return {};
}

void SetError(long number, std::optional<std::wstring> source, std::optional<std::wstring> description) {
    ErrObject& e = Err();
    long lastDll = e.LastDllError;
    e = ErrObject{};
    e.Number = number;
    e.Source = source ? *source : g_projectName;
    e.Description = description ? *description : RuntimeErrorText(number);
    e.LastDllError = lastDll;
}

void Raise(long number, std::optional<std::wstring> source, std::optional<std::wstring> description) {
    SetError(number, std::move(source), std::move(description));
    throw Error(Err());
}

void CaptureCurrentException() {
    try {
        throw;
    } catch (const Error& e) {
        Err() = e.Info();
    } catch (const std::bad_alloc&) {
        SetError(ErrOutOfMemory);
    } catch (const std::out_of_range&) {
        SetError(ErrSubscript);
    } catch (const std::overflow_error&) {
        SetError(ErrOverflow);
    } catch (const std::exception& e) {
        std::string what = e.what();
        SetError(ErrInternal, std::nullopt, std::wstring(what.begin(), what.end()));
    } catch (...) {
        SetError(ErrInternal);
    }
}

void NoteLastDllError() { Err().LastDllError = static_cast<long>(GetLastError()); }

}  // namespace vb
