// The run time's error object and raising, as the procedures of the suite expect them:
// one current error per thread, raised errors propagate as vb::Error exceptions.
#pragma once
#include <exception>
#include <optional>
#include <string>

namespace vb {

// The current error of a thread.
struct ErrObject {
    long Number = 0;
    std::wstring Description;
    std::wstring Source;
    std::wstring HelpFile;
    long HelpContext = 0;
    long LastDllError = 0;

    bool IsCurrent() const { return Number != 0; }
    void Clear();
};

ErrObject& Err();

// What a raise carries up the call chain.
class Error : public std::exception {
public:
    explicit Error(const ErrObject& e) : err_(e) {}
    const ErrObject& Info() const { return err_; }
    long Number() const { return err_.Number; }
    const char* what() const noexcept override { return "vb::Error"; }

private:
    ErrObject err_;
};

// The component's project name: the source of its own run-time errors.
void SetProjectName(const std::wstring& name);
const std::wstring& ProjectName();

// The run time's own description of an error number; empty when it has none.
std::wstring RuntimeErrorText(long number);

// Fills the current error as a raise does (source defaults to the project name,
// description to the run time's text) without leaving the procedure.
void SetError(long number, std::optional<std::wstring> source = std::nullopt,
              std::optional<std::wstring> description = std::nullopt);

// Raises an error: fills the current error and throws.
[[noreturn]] void Raise(long number, std::optional<std::wstring> source = std::nullopt,
                        std::optional<std::wstring> description = std::nullopt);

// Called inside a catch block: makes whatever was thrown the current error.
void CaptureCurrentException();

// Records the last Windows error code after a system call, as the run time does.
void NoteLastDllError();

// Standard run-time error numbers used across the suite.
enum : long {
    ErrInvalidCall = 5,
    ErrOverflow = 6,
    ErrOutOfMemory = 7,
    ErrSubscript = 9,
    ErrTypeMismatch = 13,
    ErrInternal = 51,
    ErrFileNotFound = 53,
    ErrPathFileAccess = 75,
    ErrCannotCreateObject = 429,
    ErrMemberMissing = 438,
};

}  // namespace vb
