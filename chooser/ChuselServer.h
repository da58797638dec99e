// The chooser program as a local COM server: what its command line asks for, registering
// and unregistering its class and type library, and serving the class.
#pragma once
#include <string>

namespace chusel {

enum class ServerAction { Register, Unregister, Serve };

// No argument or /RegServer registers; /UnregServer unregisters; -Embedding or /Embedding
// serves. Switches start with "-" or "/" and are matched case aside.
ServerAction ActionFromCommandLine(const std::wstring& arguments);

// Class, ProgID, LocalServer32 and the type library, under HKEY_LOCAL_MACHINE. 0 on success.
int RegisterServer(const std::wstring& modulePath);
int UnregisterServer(const std::wstring& modulePath);

// Registers the class object (multiple use) and serves it until the last object is gone.
int Serve();

// What the program does with its command line; answers the exit code.
int RunServer(const std::wstring& arguments);

}  // namespace chusel
