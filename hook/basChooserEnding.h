// What the hook reads from a failed creation of the chooser or a failed call to it: the
// chooser's server was ending just as the request came, and a second try is worth it.
#pragma once
#include <windows.h>
#include <winerror.h>

// A server that lingers after its last client withdraws its class and ends on its own. A
// request that COM matched to it a moment before finds it stopping (CO_E_SERVER_STOPPING),
// its object cut off (RPC_E_DISCONNECTED; under Wine RPC_S_UNKNOWN_IF) or its process gone
// (RPC_E_SERVER_DIED_DNE; under Wine RPC_S_SERVER_UNAVAILABLE). None of these ran the call, and
// COM starts a fresh server for the next try.
inline bool ChooserCallNeverRan(HRESULT hr) {
    switch (hr) {
        case CO_E_SERVER_STOPPING:
        case CO_E_OBJNOTCONNECTED:
        case RPC_E_DISCONNECTED:
        case RPC_E_SERVER_DIED_DNE:
        case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
        case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
        case HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF):
            return true;
        default:
            return false;
    }
}

// Creating the chooser's object does nothing the user sees, so a creation cut short by the
// server's end is asked again too: the server answered no more (RPC_E_SERVER_DIED; under Wine
// RPC_S_CALL_FAILED).
inline bool ChooserServerWasEnding(HRESULT hr) {
    return ChooserCallNeverRan(hr) || hr == RPC_E_SERVER_DIED || hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED);
}
