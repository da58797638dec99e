#include "FakePresenter.h"

#include "vb/VbError.h"

int FakePresenter::Show(const std::wstring& prompt, long style, const std::wstring& title) {
    shown.push_back({prompt, style, title});
    if (throwOnShow) vb::Raise(vb::ErrInternal);
    if (answers.empty()) return 1;
    int a = answers.front();
    answers.pop_front();
    return a;
}
