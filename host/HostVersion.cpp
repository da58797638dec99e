#include "HostVersion.h"

#include "basIO.h"
#include "vb/VbApp.h"

HostVersion OwnVersion() {
    HostVersion v;
    FileVersionInfo info = GetFileInfo(vb::ModuleFileName(vb::ThisModule()));
    v.Major = HIWORD(info.FixedInfo.dwFileVersionMS);
    v.Minor = LOWORD(info.FixedInfo.dwFileVersionMS);
    v.Revision = LOWORD(info.FixedInfo.dwFileVersionLS);
    v.Comments = info.Comments;
    v.LegalCopyright = info.LegalCopyright;
    return v;
}

std::wstring ShortVersionLabel(const HostVersion& v) {
    return L"Version " + std::to_wstring(v.Major) + L"." + std::to_wstring(v.Minor);
}

std::wstring LongVersionLabel(const HostVersion& v) {
    return ShortVersionLabel(v) + L"." + std::to_wstring(v.Revision);
}
