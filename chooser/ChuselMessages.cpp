#include "ChuselMessages.h"

#include "ZintraMessages.h"

namespace {

thread_local int t_silenceDepth = 0;

SilentPresenter g_silentPresenter(&RequestSilence::Active);

}  // namespace

bool ChuselMessageRow(long n, std::wstring& text, std::wstring& title) {
    // 4001 and 4002 as the hook library has them; its e-mail rows 4501-4510 sit at 4503-4512.
    if (n == 4001 || n == 4002) return ZintraMessageRow(n, text, title);
    if (n >= 4503 && n <= 4512) return ZintraMessageRow(n - 2, text, title);
    return false;
}

RequestSilence::RequestSilence() { ++t_silenceDepth; }
RequestSilence::~RequestSilence() { --t_silenceDepth; }
bool RequestSilence::Active() { return t_silenceDepth > 0; }

void InstallRequestSilencePresenter() { g_silentPresenter.Install(); }
