#include "request_client.h"

#include "diagnostics.h"
#include "exception_guard.h"
#include "platform.h"
#include "radio_control.h"

handle_t RadioControlBinding;

static constexpr char OperationName[] = "EnableDisableUSBBtDevice";

struct RemoteRequest {
    handle_t Binding;
    const char* Request;
};

// The guarded region: the remote call and nothing else.
static void CallRequestRadioSwitch(void* context) {
    const auto* request = static_cast<const RemoteRequest*>(context);
    RequestRadioSwitch(request->Binding, request->Request);
}

static RPC_CSTR AsRpcString(const char* text) { return reinterpret_cast<RPC_CSTR>(const_cast<char*>(text)); }

DWORD EnableDisableUSBBtDevice(DWORD enable) {
    RPC_CSTR stringBinding = nullptr;
    if (RpcStringBindingComposeA(nullptr, AsRpcString(RadioControlProtocolSequence), nullptr,
                                 AsRpcString(RadioControlEndpoint), AsRpcString(RadioControlNetworkOptions),
                                 &stringBinding) != RPC_S_OK) {
        Report<EvComposeFailed>(OperationName);
        return 2;
    }
    Report<EvComposed>(OperationName);

    if (RpcBindingFromStringBindingA(stringBinding, &RadioControlBinding) != RPC_S_OK) {
        RadioControlBinding = nullptr;
        Report<EvBindFailed>(OperationName);
        RpcStringFreeA(&stringBinding);
        return 2;
    }
    Report<EvBound>(OperationName);

    // Without a limit, a service whose switch never ends would hold this thread, and
    // with it every later switch of the host, for ever. A runtime that refuses the
    // option still gets the call, without a limit.
    LibraryPlatform.RpcBindingSetOption(RadioControlBinding, RPC_C_OPT_CALL_TIMEOUT, RequestCallTimeoutMs);

    // Whatever the runtime raises (no service, access refused, a failure inside the
    // service, the limit) is caught; the request goes on to release the binding either way.
    RemoteRequest request{RadioControlBinding, enable != 0 ? EnableRadioRequest : DisableRadioRequest};
    DWORD raised = 0;
    if (!CallWithExceptionGuard(CallRequestRadioSwitch, &request, nullptr, &raised)) Report<EvCallRaised>(OperationName);
    // The runtime ends a call that ran out its limit as cancelled.
    const DWORD result = raised == RPC_S_CALL_CANCELLED ? 2 : 0;

    if (RpcStringFreeA(&stringBinding) != RPC_S_OK) {
        Report<EvStringFreeFailed>(OperationName);
        RpcBindingFree(&RadioControlBinding);
        return 2;
    }
    Report<EvStringFreed>(OperationName);

    if (RpcBindingFree(&RadioControlBinding) != RPC_S_OK) {
        Report<EvBindingFreeFailed>(OperationName);
        return 2;
    }
    Report<EvBindingFreed>(OperationName);
    return result;
}
