// The chooser's one public class: MorvaKestrow.MorvaTavixExe with its method Rundel.
#pragma once
#include <windows.h>

namespace chusel {

// The class factory's creator.
HRESULT CreateMorvaTavixExe(REFIID riid, void** ppv);

}  // namespace chusel
