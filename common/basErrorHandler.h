// The central error handler: the nesting counter, the stack of error records, the trace
// text, the check of Windows results and the system's error texts.
#pragma once
#include <array>
#include <optional>
#include <string>

#include "vb/VbError.h"
#include "vb/VbVariant.h"

// Message numbers are MessageBase + n.
inline constexpr long MessageBase = static_cast<long>(0x80040000);

// The nesting counter of the component (16-bit, as the procedures count themselves).
short& StackLevel();

// Counts a procedure into StackLevel for its lifetime.
class ProcGuard {
public:
    ProcGuard();
    ~ProcGuard();
    ProcGuard(const ProcGuard&) = delete;
    ProcGuard& operator=(const ProcGuard&) = delete;
};

// Sets a flag for a scope and clears it on every way out, error or not: a step that failed must
// not leave its object marked busy for good.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& flag_;
};

// Counts a nested step for a scope: one more while it runs, one less on every way out.
class CountScope {
public:
    explicit CountScope(int& count) : count_(count) { ++count_; }
    ~CountScope() { --count_; }
    CountScope(const CountScope&) = delete;
    CountScope& operator=(const CountScope&) = delete;

private:
    int& count_;
};

struct ErrorRecord {
    std::wstring Description;
    short StackLevel = 0;
    std::wstring HelpContext;
    std::wstring HelpFile;
    long LastDllError = 0;
    long Number = 0;
    long LineNumber = 0;
    long LocalLine = 0;  // wide enough for any Windows result a check passes in
    std::wstring Source;
    std::wstring ProcedureName;
};

// One record as an 11-element array (indices 0, 6 and 7 empty).
using ErrorArray = std::array<vb::Variant, 11>;

enum ErrorHandlerAction : short {
    ehDropTop = 4,
    ehClearAll = 5,
    ehCount = 10,
    ehPop = 15,
    ehPush = 16,
    ehPushThenReport = 26,
    ehPushPopReport = 27,
    ehReportAll = 28,
};

struct ErrorHandlerArgs {
    std::optional<std::wstring> ProcedureName;
    std::optional<long> LineNumber;
    std::optional<long> LocalLine;
    std::optional<long> Number;
    std::optional<std::wstring> Description;
    std::optional<std::wstring> HelpContext;
    std::optional<std::wstring> HelpFile;
    std::optional<long> LastDllError;
    std::optional<ErrorArray> Array;
};

// Result: Empty, except action 10 (record count) and 15 (the popped record as an
// ErrorArray inside a Variant array; Empty when the stack was empty).
vb::Variant ErrorHandler(short action, const ErrorHandlerArgs& args = {});
inline vb::Variant ErrorHandler(short action, const std::wstring& procedureName) {
    ErrorHandlerArgs a;
    a.ProcedureName = procedureName;
    return ErrorHandler(action, a);
}

// The trap of a procedure: call inside a catch block. Makes the caught error current,
// reports it with the procedure's name and clears the current error afterwards.
void TrapError(const wchar_t* procedureName);

// Runs body under the procedure convention: counted in StackLevel, any error reported
// by the trap under procedureName; answers fallback when the trap fired.
template <typename F, typename R = decltype(std::declval<F>()())>
R Trapped(const wchar_t* procedureName, F&& body, R fallback = R{}) {
    ProcGuard guard;
    try {
        return body();
    } catch (...) {
        TrapError(procedureName);
        return fallback;
    }
}
template <typename F>
void TrappedVoid(const wchar_t* procedureName, F&& body) {
    ProcGuard guard;
    try {
        body();
    } catch (...) {
        TrapError(procedureName);
    }
}

// Runs one statement of a section that resumes next on error: an error it raises is dropped and
// the caller goes on with the statement after it.
template <typename F>
void ResumeNext(F&& statement) {
    try {
        statement();
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
}

// Always answers apiResult; a failure is reported (unless quiet) and counted.
long CheckAPIResult(long apiResult, const std::wstring& procName, short failValue, short action = ehReportAll,
                    std::optional<long> successValue = std::nullopt, bool quiet = false, long* failCount = nullptr);

std::wstring GetSystemErrorText(long errorNumber);

ErrorRecord FillErrRecord(short stackLevel, const ErrorHandlerArgs& args, std::optional<std::wstring> source = {});
void ErrZ2ErrO(const ErrorRecord& record, std::optional<long> level = std::nullopt);
ErrorArray ErrRecordToArray(const ErrorRecord& record);
void ErrZ2ErrOFromArray(const std::optional<ErrorArray>& errorArray, std::optional<long> level = std::nullopt);
