// Text behaviours of the run time: text and binary compare, InStr, Split, Trim, Hex,
// and the ANSI conversions used at the edges where files and fields are ANSI.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace vb {

enum CompareMode : int { BinaryCompare = 0, TextCompare = 1 };

// -1, 0 or 1. Text compare ignores case by the user's locale rules; every
// case-insensitive equality, search and sort in the suite goes through it.
int StrComp(std::wstring_view a, std::wstring_view b, int mode = TextCompare);
inline bool TextEquals(std::wstring_view a, std::wstring_view b) { return StrComp(a, b, TextCompare) == 0; }

// 1-based position of find in text from start (1-based), 0 when absent.
// An empty find answers start when start lies within the text (or just past it).
size_t InStr(size_t start, std::wstring_view text, std::wstring_view find, int mode = BinaryCompare);
inline size_t InStr(std::wstring_view text, std::wstring_view find, int mode = BinaryCompare) {
    return InStr(1, text, find, mode);
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix, int mode = TextCompare);
bool EndsWith(std::wstring_view text, std::wstring_view suffix, int mode = TextCompare);

// Split at every delimiter; an empty text gives no fields.
std::vector<std::wstring> Split(std::wstring_view text, std::wstring_view delimiter, int mode = BinaryCompare);

// Blanks only, as the run time trims.
std::wstring Trim(std::wstring_view s);
std::wstring LTrim(std::wstring_view s);
std::wstring RTrim(std::wstring_view s);

// Upper-case hexadecimal without leading zeros; negatives in 32-bit two's complement.
std::wstring Hex(long value);

std::wstring UCase(std::wstring_view s);

// The run time's idea of a number: blanks around, an optional sign, digits with at most one
// decimal point and an optional exponent, or a &H / &O literal.
bool IsNumeric(std::wstring_view s);

// ANSI code page conversions.
std::string ToAnsi(std::wstring_view s);
std::wstring FromAnsi(std::string_view s);

}  // namespace vb
