#include "basStrings.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <utility>

#include "basErrorHandler.h"
#include "vb/VbError.h"
#include "vb/VbLike.h"

namespace {

constexpr wchar_t kBackslash = L'\\';

// One seam: exactly one backslash between two non-empty parts.
std::wstring JoinTwo(std::wstring first, std::wstring_view second) {
    if (!first.empty() && !second.empty()) {
        bool firstEnds = first.back() == kBackslash;
        bool secondBegins = second.front() == kBackslash;
        if (firstEnds && secondBegins)
            first.pop_back();
        else if (!firstEnds && !secondBegins)
            first.push_back(kBackslash);
    }
    first.append(second);
    return first;
}

// The variable's value; empty when it is undefined or empty.
std::wstring EnvironmentValue(const std::wstring& name) {
    DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    DWORD got = GetEnvironmentVariableW(name.c_str(), value.data(), size);
    // The variable may have grown between the two calls; then ask once more.
    if (got >= size) {
        value.assign(got, L'\0');
        got = GetEnvironmentVariableW(name.c_str(), value.data(), got);
        if (got >= value.size()) return {};
    }
    value.resize(got);
    return value;
}

// Where the value of key starts in the tag text (0-based), or npos when the key is absent.
size_t FindTagValue(std::wstring_view tag, std::wstring_view key) {
    std::wstring marker(key);
    marker += L":=";
    size_t hit = vb::InStr(1, tag, marker, vb::TextCompare);
    if (hit == 0) return std::wstring_view::npos;
    // hit is 1-based: skip the key, ":=" and the opening quote.
    return hit - 1 + key.size() + 3;
}

// The value from valueStart to the next single quote, or to the end without one.
std::wstring_view TagValueAt(std::wstring_view tag, size_t valueStart, size_t& valueEnd) {
    if (valueStart >= tag.size()) {
        valueEnd = tag.size();
        return {};
    }
    valueEnd = tag.find(L'\'', valueStart);
    if (valueEnd == std::wstring_view::npos) valueEnd = tag.size();
    return tag.substr(valueStart, valueEnd - valueStart);
}

}  // namespace

std::wstring JoinPaths(std::wstring_view first, std::wstring_view second,
                       std::initializer_list<std::wstring_view> further) {
    return Trapped(L"JoinPaths", [&] {
        std::wstring result = JoinTwo(std::wstring(first), second);
        for (std::wstring_view part : further) result = JoinTwo(std::move(result), part);
        return result;
    });
}

std::wstring GetFileName(std::wstring_view path) {
    // "C:name" has no backslash and so counts as a name as a whole.
    size_t last = path.rfind(kBackslash);
    if (last == std::wstring_view::npos) return std::wstring(path);
    return std::wstring(path.substr(last + 1));
}

std::wstring GetFolder(std::wstring_view path) {
    size_t last = path.rfind(kBackslash);
    if (last == std::wstring_view::npos) return {};
    return std::wstring(path.substr(0, last + 1));
}

std::wstring ExpandEnvVars(std::wstring_view commandLine) {
    std::wstring text(commandLine);
    if (text.empty()) return text;
    // Positions are 1-based as vb::InStr gives them; 0 is "before the text".
    size_t scan = 0;
    for (;;) {
        // Only the program part counts: references must lie before the next blank.
        size_t limit = vb::InStr(scan + 1, text, L" ");
        if (limit == 0) limit = text.size();
        size_t open = vb::InStr(scan + 1, text, L"%");
        if (open == 0 || open > limit) break;
        size_t close = vb::InStr(open + 1, text, L"%");
        if (close == 0 || close > limit) break;
        std::wstring name = text.substr(open, close - open - 1);
        if (vb::IsNumeric(name)) break;  // %1 and the like belong to the caller
        std::wstring value = EnvironmentValue(name);
        if (value.empty()) {
            scan = close;
            continue;
        }
        std::wstring reference = L"%" + name + L"%";
        text = StrReplace(text, reference, value, vb::TextCompare);
        // On to the last character of the inserted value.
        scan = close + value.size() - reference.size();
    }
    return text;
}

size_t FindInDelimitedList(std::wstring_view list, std::wstring_view text, int compareMode, size_t start,
                           std::wstring_view delimiter, int splitCompareMode) {
    for (const std::wstring& element : vb::Split(list, delimiter, splitCompareMode)) {
        // An empty element would "occur" anywhere; it names nothing to look for.
        if (element.empty()) continue;
        size_t pos = vb::InStr(start, text, element, compareMode);
        if (pos != 0) return pos;
    }
    return 0;
}

bool StrIsInArray(const std::vector<std::wstring>& items, std::wstring_view text, long& position,
                  std::optional<long> fromIndex, std::optional<long> toIndex, int compareMode, int matchMode) {
    return Trapped(L"StrIsInArray", [&]() -> bool {
        if (matchMode < 0 || matchMode > 3) return false;
        const long upper = static_cast<long>(items.size()) - 1;
        const long from = fromIndex.value_or(0);
        const long to = toIndex.value_or(upper);
        // Mode 2 answers 0 when nothing matched, also when no element was tried.
        if (matchMode == 2) position = 0;
        for (long i = from; i <= to; ++i) {
            // An index outside the array fails only when it is reached.
            if (i < 0 || i > upper) vb::Raise(vb::ErrSubscript);
            const std::wstring& item = items[static_cast<size_t>(i)];
            switch (matchMode) {
            case 0:
                if (vb::StrComp(item, text, compareMode) == 0) {
                    position = 1;
                    return true;
                }
                break;
            case 1:
                if (vb::StrComp(std::wstring_view(item).substr(0, text.size()), text, compareMode) == 0) {
                    position = 1;
                    return true;
                }
                break;
            case 2:
                // The position follows every try, so a search without a match leaves 0.
                position = static_cast<long>(vb::InStr(1, text, item, compareMode));
                if (position > 0) return true;
                break;
            case 3: {
                std::wstring_view tail(item);
                if (tail.size() > text.size()) tail.remove_prefix(tail.size() - text.size());
                if (vb::StrComp(tail, text, compareMode) == 0) {
                    position = static_cast<long>(item.size()) - static_cast<long>(text.size()) + 1;
                    return true;
                }
                break;
            }
            }
        }
        return false;
    });
}

bool MatchesPatternList(std::wstring_view text, std::wstring_view patterns) {
    for (const std::wstring& pattern : vb::Split(patterns, L"||", vb::BinaryCompare))
        if (vb::Like(text, pattern, vb::TextCompare)) return true;
    return false;
}

std::wstring StripChrs(std::wstring_view text, std::wstring_view remove, bool stripControl, bool stripHigh) {
    return Trapped(L"StripChrs", [&] {
        if (remove.empty() && !stripControl && !stripHigh) return std::wstring(text);
        auto removed = [&](wchar_t c) {
            if (stripControl && c < 32) return true;
            if (stripHigh && c >= 127) return true;
            if (remove.empty()) return false;
            if (remove.find(c) != std::wstring_view::npos) return true;
            // A letter in the set goes in either case.
            return vb::InStr(1, remove, std::wstring_view(&c, 1), vb::TextCompare) != 0;
        };
        std::wstring out;
        out.reserve(text.size());
        size_t runStart = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (!removed(text[i])) continue;
            out.append(text.substr(runStart, i - runStart));
            runStart = i + 1;
        }
        out.append(text.substr(runStart));
        return out;
    });
}

std::wstring StrReplace(std::wstring_view text, std::wstring_view find, std::wstring_view replacement,
                        int compareMode) {
    // Callers depend on an empty search text giving an empty result.
    if (find.empty()) return {};
    // The search resumes after each inserted replacement, so it only ever sees the rest of
    // the original text: the result can be built in one pass.
    std::wstring out;
    size_t from = 1;
    for (;;) {
        size_t hit = vb::InStr(from, text, find, compareMode);
        if (hit == 0) break;
        out.append(text.substr(from - 1, hit - from));
        out.append(replacement);
        from = hit + find.size();
    }
    if (from - 1 < text.size()) out.append(text.substr(from - 1));
    return out;
}

std::wstring ReplaceSubstring(std::wstring_view text, std::wstring_view find, std::wstring_view replacement,
                              int compareMode) {
    // Nothing to look for would match forever.
    if (find.empty()) return std::wstring(text);
    // A replacement holding the search text would be found again at the same place without
    // end; one left-to-right pass is the most such a call can mean.
    if (vb::InStr(1, replacement, find, compareMode) != 0) return StrReplace(text, find, replacement, compareMode);
    std::wstring result(text);
    size_t from = 1;
    for (;;) {
        size_t hit = vb::InStr(from, result, find, compareMode);
        if (hit == 0) break;
        result.replace(hit - 1, find.size(), replacement);
        // Search again from the hit, so the replacement's end can join what follows.
        from = hit;
    }
    return result;
}

std::wstring StrWrap(std::wstring_view text, size_t width) {
    return Trapped(L"StrWrap", [&] {
        if (text.empty()) return std::wstring();
        std::wstring result;
        size_t lineLength = 0;
        // Split at single blanks: every extra blank becomes an empty word and survives.
        for (const std::wstring& word : vb::Split(text, L" ")) {
            size_t cr = word.find(L'\r');
            if (cr != std::wstring::npos) {
                // The word brings its own line break; the line goes on after it.
                result += word;
                result += L' ';
                lineLength = word.size() - (cr + 1) + 1;
            } else if (lineLength == 0) {
                result += word;
                result += L' ';
                lineLength = word.size();
            } else if (lineLength + 1 + word.size() > width) {
                result += L"\r\n";
                result += word;
                result += L' ';
                lineLength = word.size() + 1;
            } else {
                result += word;
                result += L' ';
                lineLength += word.size() + 1;
            }
        }
        return result;
    });
}

std::vector<long> Sort(const std::vector<std::wstring>& items, int compareMode, long lowerBound) {
    ProcGuard guard;
    std::vector<long> index(items.size());
    for (size_t i = 0; i < index.size(); ++i) index[i] = static_cast<long>(i);
    try {
        if (lowerBound < 0) vb::Raise(vb::ErrSubscript);
        const long upper = static_cast<long>(items.size()) - 1;
        long gap = upper - lowerBound + 1;
        for (;;) {
            gap /= 2;
            if (gap < 1) break;
            long limit = upper - gap;
            for (;;) {
                bool exchanged = false;
                long lastExchange = 0;
                for (long i = lowerBound; i <= limit; ++i) {
                    // Only "greater" moves an element: equal ones keep their order.
                    if (vb::StrComp(items[static_cast<size_t>(index[i])], items[static_cast<size_t>(index[i + gap])],
                                    compareMode) == 1) {
                        std::swap(index[i], index[i + gap]);
                        exchanged = true;
                        lastExchange = i;
                    }
                }
                if (!exchanged) break;
                // Nothing beyond the last exchange moved: the next pass can stop before it.
                limit = lastExchange - gap;
            }
        }
    } catch (...) {
        TrapError(L"Sort");
    }
    return index;
}

std::wstring GetTagProperty(const TagHolder& holder, std::wstring_view key, bool* inherited,
                            std::optional<std::wstring> defaultValue, bool searchContainers) {
    const std::wstring tag = holder.Tag();
    size_t valueStart = FindTagValue(tag, key);
    if (valueStart != std::wstring_view::npos) {
        size_t valueEnd = 0;
        return std::wstring(TagValueAt(tag, valueStart, valueEnd));
    }
    if (searchContainers) {
        if (TagHolder* container = holder.TagContainer()) {
            // The container's own default must not pass for an inherited value.
            std::wstring value = GetTagProperty(*container, key, inherited, std::nullopt, true);
            if (!value.empty()) {
                if (inherited) *inherited = true;
                return value;
            }
        }
    }
    return defaultValue.value_or(std::wstring());
}

bool SetTagProperty(TagHolder& holder, std::wstring_view key, std::wstring_view value) {
    std::wstring tag = holder.Tag();
    size_t valueStart = FindTagValue(tag, key);
    if (valueStart != std::wstring_view::npos) {
        size_t valueEnd = 0;
        std::wstring_view old = TagValueAt(tag, valueStart, valueEnd);
        if (vb::StrComp(old, value, vb::TextCompare) == 0) return false;
        std::wstring changed = tag.substr(0, std::min(valueStart, tag.size()));
        changed += value;
        if (valueEnd < tag.size())
            changed += std::wstring_view(tag).substr(valueEnd);
        else
            changed += L'\'';  // an unclosed value gets its closing quote back
        holder.SetTag(changed);
        return true;
    }
    if (!tag.empty()) tag += L' ';
    tag += key;
    tag += L":='";
    tag += value;
    tag += L'\'';
    holder.SetTag(tag);
    return true;
}
