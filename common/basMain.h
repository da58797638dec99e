// The library's start-up: fills the module-wide values that the other modules read.
#pragma once

// The Windows folder, the System folder and the folders of PATH, for the calling thread.
// A deliverable calls it once from its start (never from DllMain); the values also fill
// themselves on first use, so a thread that never called it still sees them.
void Main();
