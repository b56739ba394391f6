// RadioControlInterface (uuid 00000002-eaf3-4a7a-a0f2-bce4c30da77e, version 1.0): the
// RPC interface between the radio support library (client) and the radio switch
// service (server). Link radio_interface_client for the client stubs, or
// radio_interface_server and define the two procedures as the server routines.
#pragma once

#include <rpc.h>

#include "radio_contract.h"

extern "C" {

// Client side: for binding handles and the runtime's client calls only.
extern RPC_IF_HANDLE RadioControlInterface_v1_0_c_ifspec;
// Server side: what RpcServerRegisterIf takes; calls go to the server routines below.
extern RPC_IF_HANDLE RadioControlInterface_v1_0_s_ifspec;

// Opnum 0. Request must not be null. On the client a runtime or transport failure is
// raised as a structured exception carrying the RPC status (1722 when nothing listens).
void RequestRadioSwitch(handle_t Binding, const char* Request);
// Opnum 1.
void StopRadioControlServer(handle_t Binding);

}
