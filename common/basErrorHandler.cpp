#include "basErrorHandler.h"

#include <windows.h>

#include <vector>

#include "basMessageHandler.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

const wchar_t kCrLf[] = L"\r\n";

// Module data, one set per thread of the component.
struct HandlerState {
    short stackLevel = 0;
    short currentAction = 0;
    short recordCount = 0;
    short reentryCount = 0;
    std::vector<ErrorRecord> records = std::vector<ErrorRecord>(1);  // element 0 never holds a record
};

HandlerState& State() { return vb::ThreadInstance<HandlerState>(); }

// ErrorHandler counts itself into both counters for as long as a run lasts.
struct HandlerRun {
    HandlerRun() {
        ++State().stackLevel;
        ++State().reentryCount;
    }
    ~HandlerRun() {
        --State().stackLevel;
        --State().reentryCount;
    }
};

long HelpContextToLong(const std::wstring& text) {
    std::wstring t = vb::Trim(text);
    if (t.empty()) return 0;
    return vb::Variant(t).ToLong();
}

vb::Variant NestedRun(short action, const ErrorHandlerArgs& args) {
    ErrorHandlerArgs nested = args;
    nested.Array.reset();
    State().currentAction = action;
    return ErrorHandler(action, nested);
}

void Report() { MessageHandler(vb::Err().Number); }

void Push(const ErrorHandlerArgs& args) {
    HandlerState& s = State();
    ++s.recordCount;
    s.records.resize(static_cast<size_t>(s.recordCount) + 1);

    short level = (args.ProcedureName && vb::TextEquals(*args.ProcedureName, L"ErrorHandler"))
                      ? static_cast<short>(s.stackLevel - 1)
                      : static_cast<short>(s.stackLevel - s.reentryCount);

    vb::ErrObject& err = vb::Err();
    if (!err.IsCurrent()) {
        long number = 0;
        if (args.LocalLine && *args.LocalLine != 0) number = *args.LocalLine;
        if (number == 0) number = err.LastDllError != 0 ? err.LastDllError : static_cast<long>(GetLastError());
        err.Number = number;
        if (err.Description.empty()) err.Description = GetSystemErrorText(number);
    }
    // Our own message numbers and COM failures carry the system's text, not the run time's.
    if (err.IsCurrent() && err.Number <= static_cast<long>(0x80050000)) err.Description = GetSystemErrorText(err.Number);

    s.records[static_cast<size_t>(s.recordCount)] = FillErrRecord(level, args);
}

void DropTop() {
    HandlerState& s = State();
    if (s.recordCount == 0) return;
    --s.recordCount;
    s.records.resize(static_cast<size_t>(s.recordCount) + 1);
}

std::wstring TraceHead(long level, long recordLevel, const std::wstring& source) {
    return std::wstring(kCrLf) + L"Stack Level: " + std::to_wstring(level) + L"     CD: " + std::to_wstring(recordLevel) +
           kCrLf + L"Object: " + source;
}

}  // namespace

short& StackLevel() { return State().stackLevel; }

ProcGuard::ProcGuard() {
    if (State().stackLevel == 32767) vb::Raise(vb::ErrOverflow);
    ++State().stackLevel;
}

ProcGuard::~ProcGuard() { --State().stackLevel; }

vb::Variant ErrorHandler(short action, const ErrorHandlerArgs& args) {
    HandlerRun run;
    HandlerState& s = State();
    vb::Variant result;

    if (args.Array) ErrZ2ErrOFromArray(args.Array, s.recordCount);

    switch (action) {
        case ehDropTop:
            DropTop();
            vb::Err().Clear();
            break;
        case ehClearAll:
            s.recordCount = 0;
            s.records.assign(1, ErrorRecord{});
            vb::Err().Clear();
            break;
        case ehCount:
            result = vb::Variant(static_cast<int16_t>(s.recordCount));
            break;
        case ehPop:
            if (s.recordCount != 0) {
                const ErrorRecord top = s.records[static_cast<size_t>(s.recordCount)];
                ErrZ2ErrO(top, s.recordCount);
                ErrorArray a = ErrRecordToArray(top);
                result = vb::Variant(vb::Variant::Array(a.begin(), a.end()));
                DropTop();
            }
            break;
        case ehPush:
            Push(args);
            break;
        case ehPushThenReport:
            NestedRun(ehPush, args);
            NestedRun(ehPushPopReport, args);
            break;
        case ehPushPopReport:
            // A failure while reporting ends this run quietly.
            try {
                NestedRun(ehPush, args);
                NestedRun(ehPop, args);
                Report();
            } catch (...) {
            }
            break;
        case ehReportAll:
            NestedRun(ehPush, args);
            try {
                while (s.recordCount != 0) {
                    NestedRun(ehPop, args);
                    Report();
                }
            } catch (...) {
            }
            break;
        default:
            vb::SetError(MessageBase + 4001);
            NestedRun(ehPush, args);
            if (vb::Err().IsCurrent()) NestedRun(ehReportAll, args);
            break;
    }
    return result;
}

void TrapError(const wchar_t* procedureName) {
    vb::CaptureCurrentException();
    try {
        ErrorHandler(ehReportAll, std::wstring(procedureName));
    } catch (...) {
        // Nothing may escape a trap.
    }
    vb::Err().Clear();
}

long CheckAPIResult(long apiResult, const std::wstring& procName, short failValue, short action,
                    std::optional<long> successValue, bool quiet, long* failCount) {
    vb::NoteLastDllError();
    if (!successValue) {
        if (apiResult != static_cast<long>(failValue)) return apiResult;
        if (!quiet) ErrorHandler(action, procName);
    } else {
        if (*successValue == apiResult) return apiResult;
        if (!quiet) {
            ErrorHandlerArgs a;
            a.ProcedureName = procName;
            a.LocalLine = apiResult;
            ErrorHandler(action, a);
        }
    }
    if (failCount) ++*failCount;
    return apiResult;
}

std::wstring GetSystemErrorText(long errorNumber) {
    ProcGuard guard;
    HMODULE module = nullptr;
    if (errorNumber >= 2100 && errorNumber <= 2999) {
        OSVERSIONINFOW vi{};
        vi.dwOSVersionInfoSize = sizeof(vi);
        if (GetVersionExW(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT)
            module = LoadLibraryExW(L"netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    } else if (errorNumber >= 12000 && errorNumber <= 12171) {
        module = LoadLibraryExW(L"wininet.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if (module) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    wchar_t buffer[1024];
    DWORD n = FormatMessageW(flags, module, static_cast<DWORD>(errorNumber), 0, buffer, 1024, nullptr);
    if (module) FreeLibrary(module);
    if (n > 0) return std::wstring(buffer, n);
    return L"Error (" + std::to_wstring(errorNumber) + L") not defined.";
}

ErrorRecord FillErrRecord(short stackLevel, const ErrorHandlerArgs& args, std::optional<std::wstring> source) {
    const vb::ErrObject& err = vb::Err();
    ErrorRecord r;
    r.StackLevel = stackLevel;
    r.ProcedureName = args.ProcedureName.value_or(L"");
    r.LineNumber = args.LineNumber.value_or(0);  // no statement line numbers here
    r.LocalLine = args.LocalLine.value_or(0);
    r.Number = args.Number.value_or(err.Number);
    r.Description = args.Description.value_or(err.Description);
    r.HelpContext = args.HelpContext.value_or(std::to_wstring(err.HelpContext));
    r.HelpFile = args.HelpFile.value_or(err.HelpFile);
    r.LastDllError = args.LastDllError.value_or(err.LastDllError);
    r.Source = source.value_or(err.Source);
    return r;
}

void ErrZ2ErrO(const ErrorRecord& record, std::optional<long> level) {
    ProcGuard guard;
    try {
        vb::ErrObject& err = vb::Err();
        err.Number = record.Number;
        err.Description = record.Description;
        err.HelpContext = HelpContextToLong(record.HelpContext);
        err.HelpFile = record.HelpFile;
        err.LastDllError = record.LastDllError;
        if (vb::InStr(record.Source, L"Subroutine:", vb::TextCompare) != 0) {
            err.Source = record.Source;
            return;
        }
        if (!level) vb::Raise(MessageBase + 4001);
        std::wstring trace = TraceHead(*level, record.StackLevel, record.Source);
        if (!record.ProcedureName.empty()) trace += kCrLf + std::wstring(L"Subroutine: ") + record.ProcedureName;
        if (record.LocalLine != 0) trace += kCrLf + std::wstring(L"Local Line: ") + std::to_wstring(record.LocalLine);
        if (record.LineNumber != 0) trace += kCrLf + std::wstring(L"Line Number: ") + std::to_wstring(record.LineNumber);
        if (record.LastDllError != 0)
            trace += kCrLf + std::wstring(L"LastDllError: ") + std::to_wstring(record.LastDllError);
        err.Source = trace;
    } catch (...) {
        vb::CaptureCurrentException();
        if (vb::Err().IsCurrent()) ErrorHandler(ehReportAll, std::wstring(L"ErrZ2ErrO"));
        vb::Err().Clear();
    }
}

ErrorArray ErrRecordToArray(const ErrorRecord& record) {
    ErrorArray a;
    a[1] = vb::Variant(static_cast<int16_t>(record.StackLevel));
    a[2] = vb::Variant(record.Description);
    a[3] = vb::Variant(record.HelpContext);
    a[4] = vb::Variant(record.HelpFile);
    a[5] = vb::Variant(record.LastDllError);
    a[8] = vb::Variant(record.Number);
    a[9] = vb::Variant(record.Source);
    a[10] = vb::Variant(record.ProcedureName);
    return a;
}

void ErrZ2ErrOFromArray(const std::optional<ErrorArray>& errorArray, std::optional<long> level) {
    if (!errorArray) return;
    const ErrorArray& a = *errorArray;
    ProcGuard guard;
    try {
        vb::ErrObject& err = vb::Err();
        err.Number = a[8].ToLong();
        err.Description = a[2].ToString();
        err.HelpContext = HelpContextToLong(a[3].ToString());
        err.HelpFile = a[4].ToString();
        std::wstring source = a[9].ToString();
        long lastDll = a[5].ToLong();
        err.LastDllError = lastDll;
        if (vb::InStr(source, L"Subroutine:", vb::TextCompare) != 0) {
            err.Source = source;
            return;
        }
        if (!level) vb::Raise(MessageBase + 4001);
        std::wstring trace = TraceHead(*level, a[1].ToLong(), source);
        std::wstring procedure = a[10].ToString();
        if (!procedure.empty()) trace += kCrLf + std::wstring(L"Subroutine: ") + procedure;
        if (lastDll != 0) trace += kCrLf + std::wstring(L"LastDllError: ") + std::to_wstring(lastDll);
        err.Source = trace;
    } catch (...) {
        vb::CaptureCurrentException();
        if (vb::Err().IsCurrent()) ErrorHandler(ehReportAll, std::wstring(L"ErrZ2ErrO"));
        vb::Err().Clear();
    }
}
