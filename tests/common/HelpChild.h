// The exit codes of help_engine_child.exe: the system's help call came back (any other code, such
// as a stack overflow's, means it did not), or where the HTML Help engine was loaded from.
#pragma once

namespace helpchild {
inline constexpr unsigned long kReturnedRefused = 10;
inline constexpr unsigned long kReturnedShown = 11;
// With "--html-engine": where the HTML Help engine the call loaded came from.
inline constexpr unsigned long kEngineFromSystemFolder = 12;
inline constexpr unsigned long kEngineFromElsewhere = 13;
inline constexpr unsigned long kEngineNotLoaded = 14;
}  // namespace helpchild
