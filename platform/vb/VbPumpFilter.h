// What DoEvents asks before it hands a message on. A pump runs under code that is still at work,
// so that code can keep the system from starting a loop of its own there (a close box's tracking)
// or translate keys the program's main loop would have translated.
// A filter belongs to the scope that installed it and goes with it: the code whose work it guards
// holds the scope for as long as that work runs. Scopes of different owners can stand at the same
// time on one thread; the newest is asked first and none replaces another. Each module links its
// own copy of the run time, so a module's filters see only the pumps of that module's code.
#pragma once
#include <windows.h>

#include <functional>

namespace vb {

// Answers true when it has dealt with the message itself; DoEvents then passes it over.
using PumpFilter = std::function<bool(MSG& msg)>;

class PumpFilterScope {
public:
    explicit PumpFilterScope(PumpFilter filter);
    ~PumpFilterScope();
    PumpFilterScope(const PumpFilterScope&) = delete;
    PumpFilterScope& operator=(const PumpFilterScope&) = delete;

    bool Filter(MSG& msg) { return filter_ && filter_(msg); }
    PumpFilterScope* Older() const { return older_; }

private:
    PumpFilter filter_;
    // The thread's scopes, newest to oldest, linked through the scopes themselves.
    PumpFilterScope* older_ = nullptr;
    PumpFilterScope* newer_ = nullptr;
};

// The filters installed on this thread now, for DoEvents and for tests.
int InstalledPumpFilters();
// Asks this thread's filters, the newest first; true when one dealt with the message.
bool FilterPumpedMessage(MSG& msg);

}  // namespace vb
