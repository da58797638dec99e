// The options window's automation object: what the host's timer and close, the frame's children
// list and the library's dialogs call by name. It outlives the window it was made for; once
// that window is unloaded it answers as an unloaded form (Visible False) and never loads one.
#pragma once
#include <oaidl.h>

class frmTesselOptions;

IDispatch* CreateTesselOptionsAutomation(frmTesselOptions* window);
// The window is going: later calls no longer reach it.
void DetachTesselOptionsAutomation(IDispatch* automation);
