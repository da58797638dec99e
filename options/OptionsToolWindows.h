// The windows of the association tools that the options window opens: the tools install their
// openers when the library loads (tests put their own), so the tools need nothing else of the
// options window.
#pragma once
#include <windows.h>

#include <functional>

// The first-run step's association restorer: the opener answers whether it showed one (owner:
// the host frame, may be null). The restorer sets the options window's FormUnloaded when it closes.
using AssociationRestorerOpener = std::function<bool(HWND owner)>;
AssociationRestorerOpener SetAssociationRestorerOpener(AssociationRestorerOpener opener);
inline constexpr const wchar_t* AssociationRestorerName = L"frmAssociationRestorer";

// The tool windows that the extension list's menu opens (owner: the host frame, may be null).
enum class ToolWindow { AssociationRestorer, PreviewerController, ExplorerPrecatchController };
using ToolWindowOpener = std::function<void(ToolWindow which, HWND owner)>;
ToolWindowOpener SetToolWindowOpener(ToolWindowOpener opener);
const ToolWindowOpener& CurrentToolWindowOpener();
