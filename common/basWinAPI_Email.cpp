#include "basWinAPI_Email.h"

#include <shellapi.h>

#include "basErrorHandler.h"
#include "basMessageHandler.h"

namespace {

constexpr INT_PTR kNoAssociation = 2;  // no program is registered for mail
constexpr INT_PTR kShellSuccess = 33;  // results from 33 up mean the shell opened it

HINSTANCE ShellOpen(HWND owner, const std::wstring& address) {
    return ShellExecuteW(owner, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

ShellOpenFunction g_open = nullptr;
long g_noMailProgramMessage = 4548;

}  // namespace

ShellOpenFunction SetShellOpenFunction(ShellOpenFunction open) {
    ShellOpenFunction previous = g_open;
    g_open = open;
    return previous;
}

void SetNoMailProgramMessage(long n) { g_noMailProgramMessage = n; }

std::wstring BuildMailtoAddress(const std::wstring& to, const std::wstring& subject, const std::wstring& body,
                                const std::wstring& copy, const std::wstring& blindCopy) {
    std::wstring query;
    if (!subject.empty()) query += L"&Subject=" + subject;
    if (!body.empty()) query += L"&Body=" + body;
    if (!copy.empty()) query += L"&CC=" + copy;
    if (!blindCopy.empty()) query += L"&BCC=" + blindCopy;
    if (!query.empty()) query[0] = L'?';
    return L"mailto:" + to + query;
}

bool SendMail(const std::wstring& to, const std::wstring& subject, const std::wstring& body,
              const std::wstring& copy, const std::wstring& blindCopy, HWND owner) {
    return Trapped(L"SendMail", [&] {
        std::wstring address = BuildMailtoAddress(to, subject, body, copy, blindCopy);
        HINSTANCE opened = g_open ? g_open(owner, address) : ShellOpen(owner, address);
        INT_PTR result = reinterpret_cast<INT_PTR>(opened);
        if (result >= kShellSuccess) return true;
        if (result == kNoAssociation) {
            MessageHandler(MessageBase + g_noMailProgramMessage);
        } else {
            ErrorHandlerArgs args;
            args.ProcedureName = L"SendMail";
            args.Number = static_cast<long>(result);
            args.Description = GetSystemErrorText(static_cast<long>(result));
            ErrorHandler(ehReportAll, args);
        }
        return false;
    });
}
