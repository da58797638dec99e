// The exit codes of help_engine_child.exe: the system's help call came back (any other code, such
// as a stack overflow's, means it did not).
#pragma once

namespace helpchild {
inline constexpr unsigned long kReturnedRefused = 10;
inline constexpr unsigned long kReturnedShown = 11;
}  // namespace helpchild
