// The suite's switch as the host throws it: the global switch atom plus the shell's
// ShellExecuteHooks registration of the hook.
#pragma once

// Adds the switch atom, registers the hook with the shell and sets the hook-on flag.
// Failures are not reported.
void TurnHookOn();
// Deletes the switch atom, removes the registration and clears the hook-on flag.
// Failures are not reported.
void TurnHookOff();

// The host's hook-on flag.
bool& HookIsOn();
