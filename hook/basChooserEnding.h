// What the hook reads from a failed creation of the chooser or a failed call to it: the
// chooser's server was ending just as the request came, and a second try is worth it.
#pragma once
#include <windows.h>
#include <winerror.h>

// A server that lingers after its last client withdraws its class and ends on its own. A
// request that COM matched to it a moment before finds it stopping (CO_E_SERVER_STOPPING) or
// learns that the call did not execute (the _DNE codes). Only these promise that the call never
// ran: a server cut off or gone during a call (RPC_E_DISCONNECTED, CO_E_OBJNOTCONNECTED, and
// under Wine RPC_S_SERVER_UNAVAILABLE or RPC_S_UNKNOWN_IF) may already have shown its list and
// started the user's program, and asking again would open the file twice.
inline bool ChooserCallNeverRan(HRESULT hr) {
    switch (hr) {
        case CO_E_SERVER_STOPPING:
        case RPC_E_SERVER_DIED_DNE:
        case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
            return true;
        default:
            return false;
    }
}

// Creating the chooser's object does nothing the user sees, so a creation cut short by the
// server's end is asked again on every code of an ending server: its object cut off
// (RPC_E_DISCONNECTED, CO_E_OBJNOTCONNECTED; under Wine RPC_S_UNKNOWN_IF), its process gone
// (under Wine RPC_S_SERVER_UNAVAILABLE), or no answer any more (RPC_E_SERVER_DIED; under Wine
// RPC_S_CALL_FAILED). COM starts a fresh server for the next try.
inline bool ChooserServerWasEnding(HRESULT hr) {
    switch (hr) {
        case CO_E_OBJNOTCONNECTED:
        case RPC_E_DISCONNECTED:
        case RPC_E_SERVER_DIED:
        case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
        case HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF):
        case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
            return true;
        default:
            return ChooserCallNeverRan(hr);
    }
}
