// Anything that carries a tag text of keyed properties: windows and controls.
#pragma once
#include <string>

class TagHolder {
public:
    virtual ~TagHolder() = default;
    virtual std::wstring Tag() const = 0;
    virtual void SetTag(const std::wstring& tag) = 0;
    // The frame, picture box or window that holds this one; nullptr for none.
    virtual TagHolder* TagContainer() const = 0;
};
