#include "basShared.h"

#include "vb/VbText.h"

std::wstring StripSuffix(std::wstring_view text, std::wstring_view suffix) {
    // File extensions and the like come in any case, so the suffix is matched case aside.
    if (!suffix.empty() && vb::EndsWith(text, suffix, vb::TextCompare))
        return std::wstring(text.substr(0, text.size() - suffix.size()));
    return std::wstring(text);
}
