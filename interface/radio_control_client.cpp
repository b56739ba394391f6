// Client stubs of RadioControlInterface: each procedure is one call into the runtime's
// NDR engine, which marshals the arguments as the procedure format string says.
#include "radio_control.h"
#include "radio_control_stubs.h"

// Required by the descriptor; the explicit-handle procedures never use it.
static handle_t RadioControlAutoBindHandle;

const MIDL_STUB_DESC RadioControlClientStubDesc = {
    const_cast<RPC_CLIENT_INTERFACE*>(&RadioControlClientInterface),
    MIDL_user_allocate,
    MIDL_user_free,
    {&RadioControlAutoBindHandle},
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

RPC_IF_HANDLE RadioControlInterface_v1_0_c_ifspec = const_cast<RPC_CLIENT_INTERFACE*>(&RadioControlClientInterface);

static PFORMAT_STRING ProcedureFormat(int opnum) { return RadioControlProcFormat + RadioControlProcOffsets[opnum]; }

#ifdef _WIN64
// x64 and ARM64: the engine reads the arguments from the variadic part, which the callee
// spills next to the caller's stack arguments (the home area on x64, x2 to x7 on ARM64).
void RequestRadioSwitch(handle_t Binding, const char* Request) {
    NdrClientCall2(const_cast<MIDL_STUB_DESC*>(&RadioControlClientStubDesc), ProcedureFormat(0), Binding, Request);
}

void StopRadioControlServer(handle_t Binding) {
    NdrClientCall2(const_cast<MIDL_STUB_DESC*>(&RadioControlClientStubDesc), ProcedureFormat(1), Binding);
}
#else
// x86: the engine takes a pointer to the client's calling stack and reads the arguments
// at the stack offsets of the format string (handle at 0, string at 4); the block is
// built explicitly rather than relying on where the compiler keeps its parameters.
void RequestRadioSwitch(handle_t Binding, const char* Request) {
    struct {
        handle_t Binding;
        const char* Request;
    } arguments = {Binding, Request};
    NdrClientCall2(const_cast<MIDL_STUB_DESC*>(&RadioControlClientStubDesc), ProcedureFormat(0), &arguments);
}

void StopRadioControlServer(handle_t Binding) {
    NdrClientCall2(const_cast<MIDL_STUB_DESC*>(&RadioControlClientStubDesc), ProcedureFormat(1), &Binding);
}
#endif
