// The stub data behind RadioControlInterface, byte for byte what the runtime's NDR
// engine interprets. Shared by the client and server stubs and read by the tests.
#pragma once

#include <rpc.h>
#include <rpcndr.h>

#ifdef _WIN64
inline constexpr size_t RadioControlProcFormatLength = 67;
#else
inline constexpr size_t RadioControlProcFormatLength = 63;
#endif
inline constexpr size_t RadioControlTypeFormatLength = 7;
inline constexpr unsigned MidlCompilerVersion = 0x0700022B;  // 7.0.555
inline constexpr unsigned long NdrEngineVersion = 0x00050002;

extern const RPC_SYNTAX_IDENTIFIER RadioControlInterfaceId;
extern const RPC_SYNTAX_IDENTIFIER NdrTransferSyntax;

// Opnum 0 then opnum 1, each with its stack layout; the layout differs by bitness.
extern const unsigned char RadioControlProcFormat[RadioControlProcFormatLength];
// Where each procedure begins in RadioControlProcFormat.
extern const unsigned short RadioControlProcOffsets[2];
extern const unsigned char RadioControlTypeFormat[RadioControlTypeFormatLength];

extern const RPC_CLIENT_INTERFACE RadioControlClientInterface;
extern const MIDL_STUB_DESC RadioControlClientStubDesc;

extern const RPC_SERVER_INTERFACE RadioControlServerInterface;
extern const MIDL_SERVER_INFO RadioControlServerInfo;
extern const MIDL_STUB_DESC RadioControlServerStubDesc;
extern const RPC_DISPATCH_TABLE RadioControlDispatchTable;
extern const SERVER_ROUTINE RadioControlServerRoutines[2];
