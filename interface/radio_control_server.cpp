// Server stub of RadioControlInterface: the runtime's NdrServerCall2 unmarshals each
// call by the procedure format string and calls the matching server routine, which the
// program that links this stub defines (RequestRadioSwitch, StopRadioControlServer).
#include "radio_control.h"
#include "radio_control_stubs.h"

static const RPC_DISPATCH_FUNCTION DispatchFunctions[] = {NdrServerCall2, NdrServerCall2};
const RPC_DISPATCH_TABLE RadioControlDispatchTable = {2, const_cast<RPC_DISPATCH_FUNCTION*>(DispatchFunctions), 0};

// The engine calls these through a generic signature and passes the unmarshalled arguments.
template <typename Function>
static SERVER_ROUTINE AsServerRoutine(Function* function) {
    return reinterpret_cast<SERVER_ROUTINE>(reinterpret_cast<void (*)()>(function));
}

const SERVER_ROUTINE RadioControlServerRoutines[2] = {
    AsServerRoutine(RequestRadioSwitch),
    AsServerRoutine(StopRadioControlServer),
};

const RPC_SERVER_INTERFACE RadioControlServerInterface = {
    sizeof(RPC_SERVER_INTERFACE), RadioControlInterfaceId, NdrTransferSyntax,
    const_cast<RPC_DISPATCH_TABLE*>(&RadioControlDispatchTable),
    0, nullptr,  // no endpoints in the record: the service registers its own
    nullptr,     // no manager entry-point vector: calls go to the routine table
    &RadioControlServerInfo,
    0x04000000,
};

const MIDL_STUB_DESC RadioControlServerStubDesc = {
    const_cast<RPC_SERVER_INTERFACE*>(&RadioControlServerInterface),
    MIDL_user_allocate,
    MIDL_user_free,
    {nullptr},
    nullptr, nullptr, nullptr, nullptr,
    RadioControlTypeFormat,
    1,  // bounds checking
    NdrEngineVersion,
    nullptr,
    MidlCompilerVersion,
    nullptr, nullptr, nullptr,
    0x1,
    nullptr, nullptr, 0,
};

const MIDL_SERVER_INFO RadioControlServerInfo = {
    &RadioControlServerStubDesc,
    RadioControlServerRoutines,
    RadioControlProcFormat,
    RadioControlProcOffsets,
    nullptr, nullptr, 0, nullptr,
};

RPC_IF_HANDLE RadioControlInterface_v1_0_s_ifspec = const_cast<RPC_SERVER_INTERFACE*>(&RadioControlServerInterface);
