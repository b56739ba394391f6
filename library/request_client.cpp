#include "request_client.h"

#include "diagnostics.h"
#include "exception_guard.h"
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

    // Whatever the runtime raises (no service, access refused, a failure inside the
    // service) is caught; the request goes on to release the binding either way.
    RemoteRequest request{RadioControlBinding, enable != 0 ? EnableRadioRequest : DisableRadioRequest};
    if (!CallWithExceptionGuard(CallRequestRadioSwitch, &request)) Report<EvCallRaised>(OperationName);

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
    return 0;
}
