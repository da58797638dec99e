// Text procedures: paths, environment references, delimited lists, sorting, wrapping,
// character removal and replacement, wildcard lists and the tag text of windows and controls.
#pragma once
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/TagHolder.h"
#include "vb/VbText.h"

// Paths.
std::wstring JoinPaths(std::wstring_view first, std::wstring_view second,
                       std::initializer_list<std::wstring_view> further = {});
std::wstring GetFileName(std::wstring_view path);
std::wstring GetFolder(std::wstring_view path);
std::wstring ExpandEnvVars(std::wstring_view commandLine);

// Searching and matching.
size_t FindInDelimitedList(std::wstring_view list, std::wstring_view text, int compareMode = vb::TextCompare,
                           size_t start = 1, std::wstring_view delimiter = L",",
                           int splitCompareMode = vb::BinaryCompare);
// Elements are tried from fromIndex to toIndex (defaults: the whole array).
bool StrIsInArray(const std::vector<std::wstring>& items, std::wstring_view text, long& position,
                  std::optional<long> fromIndex = std::nullopt, std::optional<long> toIndex = std::nullopt,
                  int compareMode = vb::TextCompare, int matchMode = 0);
bool MatchesPatternList(std::wstring_view text, std::wstring_view patterns);

// Editing.
std::wstring StripChrs(std::wstring_view text, std::wstring_view remove, bool stripControl = false,
                       bool stripHigh = false);
std::wstring StrReplace(std::wstring_view text, std::wstring_view find, std::wstring_view replacement,
                        int compareMode = vb::BinaryCompare);
std::wstring ReplaceSubstring(std::wstring_view text, std::wstring_view find, std::wstring_view replacement,
                              int compareMode = vb::BinaryCompare);
std::wstring StrWrap(std::wstring_view text, size_t width);
// Index array over items[lowerBound..]: element i holds the index of the element that belongs
// at place i; entries below lowerBound are left as their own index.
std::vector<long> Sort(const std::vector<std::wstring>& items, int compareMode = vb::TextCompare,
                       long lowerBound = 0);

// Tag text.
std::wstring GetTagProperty(const TagHolder& holder, std::wstring_view key, bool* inherited = nullptr,
                            std::optional<std::wstring> defaultValue = std::nullopt,
                            bool searchContainers = false);
bool SetTagProperty(TagHolder& holder, std::wstring_view key, std::wstring_view value);
