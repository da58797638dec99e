// The suite's switch as the host throws it: the global switch atom plus the shell's
// ShellExecuteHooks registration of the hook.
#pragma once

// Adds the switch atom, registers the hook with the shell and sets HookSwitchedOn.
// Failures are not reported.
void TurnHookOn();
// Deletes the switch atom and removes the registration; HookSwitchedOn stays as it is.
// Failures are not reported.
void TurnHookOff();

// Whether the hook has been switched on in this run; set by TurnHookOn and never cleared (the
// tray asks whether the suite ever went on).
bool& HookSwitchedOn();
