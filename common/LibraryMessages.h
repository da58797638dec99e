#pragma once
#include <string>

// The rows of the options library's catalogue; install with SetMessageRows(LibraryMessageRow).
bool LibraryMessageRow(long n, std::wstring& text, std::wstring& title);
