// What the data model's tests share: files as bytes, and which catalogue message a box showed.
#pragma once
#include <windows.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "vb/VbText.h"

namespace datatest {

inline std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(vb::ToAnsi(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(vb::ToAnsi(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Whether box i of the presenter showed catalogue message n.
inline bool IsMessage(const FakePresenter& boxes, size_t i, long n) {
    if (i >= boxes.shown.size()) return false;
    std::wstring text, title;
    if (!LibraryMessageRow(n, text, title)) return false;
    return boxes.shown[i].prompt.find(text.substr(0, 40)) != std::wstring::npos;
}

// How many boxes showed message n.
inline int CountMessage(const FakePresenter& boxes, long n) {
    int count = 0;
    for (size_t i = 0; i < boxes.shown.size(); ++i) count += IsMessage(boxes, i, n) ? 1 : 0;
    return count;
}

}  // namespace datatest
