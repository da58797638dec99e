// Helpers of the hook's tests: paths, starting programs, registry reads and the fake
// chooser's files.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <optional>
#include <string>

namespace hooktest {

std::wstring TestFolder();
std::wstring ZintraPath();
std::wstring FakeChooserPath();

// Runs a command line and answers its exit code (-1 when it could not start).
long RunAndWait(const std::wstring& commandLine);

// Registers the built library (regsvr32) and the fake chooser once per process.
void RegisterServersOnce();

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* valueName);
bool KeyExists(HKEY root, const std::wstring& key);
void WriteString(HKEY root, const std::wstring& key, const wchar_t* valueName, const std::wstring& data);

// The fake chooser's side files.
void SetChooserAnswer(const std::string& answer);
void ForgetChooserCalls();
// The next fake server that starts plays one that is ending as its first client comes (see
// FakeChooser.cpp); pending until a server has read it.
void SetChooserEnding(const std::string& mode);
bool ChooserEndingPending();
void ForgetChooserEnding();
int ChooserCalls();
std::wstring LastChooserRequest();

// COM on the calling thread for the object's lifetime.
class ComApartment {
public:
    ComApartment() { CoInitialize(nullptr); }
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

}  // namespace hooktest
