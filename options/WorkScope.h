// The options window's code in progress. Work: steps that run long or let messages through (the
// load, a menu command, a rebuild of the lists, a find); a close asked for while one runs waits
// until the last of them has ended, and the window then closes from the queue. Handlers: any
// message of the window or of its big controls being handled (a pop-up menu's loop, a drag);
// while one runs, the window may close but its object stays.
#pragma once

// A window whose closing waits for its running steps. Stand-ins in tests may ignore them.
class WorkingWindow {
public:
    virtual void WorkBegins() {}
    virtual void WorkEnds() {}
    virtual void HandlerBegins() {}
    virtual void HandlerEnds() {}

protected:
    ~WorkingWindow() = default;
};

// One step of the window's work for a scope: begun here, ended on every way out.
class WorkScope {
public:
    explicit WorkScope(WorkingWindow& window) : window_(window) { window_.WorkBegins(); }
    ~WorkScope() { window_.WorkEnds(); }
    WorkScope(const WorkScope&) = delete;
    WorkScope& operator=(const WorkScope&) = delete;

private:
    WorkingWindow& window_;
};

// One running handler of the window for a scope.
class HandlerScope {
public:
    explicit HandlerScope(WorkingWindow& window) : window_(window) { window_.HandlerBegins(); }
    ~HandlerScope() { window_.HandlerEnds(); }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    WorkingWindow& window_;
};
