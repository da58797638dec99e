// The run time's Like operator: "*" any run, "?" one character, "#" one digit,
// "[list]" and "[!list]" with ranges such as a-z.
#pragma once
#include <string_view>

#include "vb/VbText.h"

namespace vb {

bool Like(std::wstring_view text, std::wstring_view pattern, int mode = TextCompare);

}  // namespace vb
