// Resource numbers of the host program.
#pragma once

#define IDI_MARLDEN 1
#define IDB_SPLASH 101
#define IDR_AGREEMENT 201
