// What DoEvents asks before it hands a message on. A module's pumps run under code of that
// module that is still at work, so the module can keep the system from starting a loop of its
// own there (a close box's tracking) or translate keys the program's main loop would have
// translated. One filter per module (each module links its own copy of the run time).
#pragma once
#include <windows.h>

namespace vb {

// Answers true when it has dealt with the message itself; DoEvents then passes it over.
using PumpFilter = bool (*)(MSG& msg);
// nullptr removes it. Answers the previous filter.
PumpFilter SetPumpFilter(PumpFilter filter);

}  // namespace vb
