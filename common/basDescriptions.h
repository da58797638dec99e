// The clean-up of the company, product and version texts that a program's version
// information carries, into short texts that fit a "|"-separated program-list line.
#pragma once
#include <string>
#include <string_view>

// The cleaned company name, or defaultText when nothing is left.
std::wstring CleanCompanyName(std::wstring_view companyName, std::wstring_view defaultText);

// The cleaned product name, or defaultText when nothing is left. productName receives the
// name without its control and high characters. wordsToRemove is separated by single blanks.
std::wstring CleanProductName(std::wstring& productName, std::wstring_view wordsToRemove,
                              std::wstring_view defaultText);

// The text cleaned to stand in one field of a program-list line (the version).
std::wstring CleanFieldText(std::wstring_view text);
