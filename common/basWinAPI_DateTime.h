#pragma once
#include <windows.h>

// The difference of two clock readings: whole days in wDay, the remainder in the time fields.
SYSTEMTIME SystemTimeDiff(const SYSTEMTIME& earlier, const SYSTEMTIME& later);
