#include "vb/VbLike.h"

#include <windows.h>

#include <vector>

namespace vb {

namespace {

wchar_t Fold(wchar_t c, int mode) {
    if (mode == BinaryCompare) return c;
    return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
}

// Matches one character against the bracket list starting after '['; sets end to the
// index after ']'. A list without its closing bracket matches nothing.
bool MatchBracket(std::wstring_view p, size_t open, wchar_t c, int mode, size_t& end) {
    size_t i = open + 1;
    bool negate = false;
    if (i < p.size() && p[i] == L'!') {
        negate = true;
        ++i;
    }
    bool hit = false;
    wchar_t fc = Fold(c, mode);
    bool first = true;
    while (i < p.size() && (p[i] != L']' || first)) {
        first = false;
        wchar_t lo = Fold(p[i], mode);
        if (i + 2 < p.size() && p[i + 1] == L'-' && p[i + 2] != L']') {
            wchar_t hi = Fold(p[i + 2], mode);
            if (fc >= lo && fc <= hi) hit = true;
            i += 3;
        } else {
            if (fc == lo) hit = true;
            ++i;
        }
    }
    if (i >= p.size()) {
        end = p.size();
        return false;
    }
    end = i + 1;
    return hit != negate;
}

}  // namespace

bool Like(std::wstring_view text, std::wstring_view pattern, int mode) {
    // Greedy matcher with one backtrack point for the last '*'.
    size_t t = 0, p = 0;
    size_t starP = std::wstring_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            wchar_t pc = pattern[p];
            if (pc == L'*') {
                starP = p++;
                starT = t;
                continue;
            }
            bool ok = false;
            size_t next = p + 1;
            if (pc == L'?') {
                ok = true;
            } else if (pc == L'#') {
                ok = text[t] >= L'0' && text[t] <= L'9';
            } else if (pc == L'[') {
                ok = MatchBracket(pattern, p, text[t], mode, next);
            } else {
                ok = Fold(pc, mode) == Fold(text[t], mode);
            }
            if (ok) {
                p = next;
                ++t;
                continue;
            }
        }
        if (starP == std::wstring_view::npos) return false;
        p = starP + 1;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

}  // namespace vb
