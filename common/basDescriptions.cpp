#include "basDescriptions.h"

#include <vector>

#include "basErrorHandler.h"
#include "basStrings.h"
#include "vb/VbText.h"

std::wstring CleanCompanyName(std::wstring_view companyName, std::wstring_view defaultText) {
    return Trapped(L"CleanCompanyName", [&] {
        std::wstring base = StripChrs(companyName, L"", true);
        size_t comma = base.find(L',');
        if (comma != std::wstring::npos) base.erase(comma);
        // The short-name fallback below must not bring a "|" back into the line's field.
        std::wstring safeBase = StrReplace(base, L"|", L"/");
        std::wstring name = safeBase;
        for (const wchar_t* word : {L" Systems", L" Communications", L" Communication", L" Corporation", L" Corp",
                                    L" Development", L" incorporated", L" inc"}) {
            name = StrReplace(name, word, L"", vb::TextCompare);
        }
        // A short name keeps its company word.
        if (name.size() < 4) name = safeBase;
        name = vb::Trim(StripChrs(name, L".,-", true, true));
        return name.empty() ? std::wstring(defaultText) : name;
    });
}

std::wstring CleanProductName(std::wstring& productName, std::wstring_view wordsToRemove,
                              std::wstring_view defaultText) {
    return Trapped(L"CleanProductName", [&] {
        productName = StripChrs(productName, L"", true, true);
        std::vector<std::wstring> words = vb::Split(wordsToRemove, L" ");
        std::wstring name = productName;
        if (words.size() <= 1) {
            std::wstring word = words.empty() ? std::wstring() : words[0];
            name = StrReplace(name, word + L"'s", L"", vb::TextCompare);
            name = StrReplace(name, word, L"", vb::TextCompare);
        } else {
            for (const std::wstring& word : words) name = StrReplace(name, word, L"", vb::TextCompare);
        }
        if (name.empty()) name = productName;
        name = StrReplace(name, L"|", L"/");
        name = StrReplace(name, L"(R)", L"", vb::TextCompare);
        name = StrReplace(name, L"(C)", L"", vb::TextCompare);
        name = vb::Trim(name);
        return name.empty() ? std::wstring(defaultText) : name;
    });
}

std::wstring CleanFieldText(std::wstring_view text) {
    return Trapped(L"CleanFieldText", [&] {
        std::wstring t = StripChrs(text, L"", true, true);
        t = StrReplace(t, L"|", L"/");
        t = StrReplace(t, L",", L".");
        return StrReplace(t, L" ", L"");
    });
}
