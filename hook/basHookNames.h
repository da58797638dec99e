// Names the hook's registration uses, shared by the hook library and the host's switch.
#pragma once

inline constexpr const wchar_t* HookClsidText = L"{69845E54-42A3-4EE8-B72C-31E2E69C6023}";
inline constexpr const wchar_t* CFormClsidText = L"{13875C2E-43DE-47A3-8E2D-85A8E3129F6B}";
inline constexpr const wchar_t* ShellExecuteHooksKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\ShellExecuteHooks";
inline constexpr const wchar_t* ApprovedExtensionsKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
// The library's product name, as its version information carries it.
inline constexpr const wchar_t* HookProductName = L"Morva Zintra";
