// The server stub's records as the runtime reads them when the service registers the
// interface. This program supplies the two server routines, as the service does.
#include <gtest/gtest.h>

#include <cstring>

#include "radio_control.h"
#include "radio_control_stubs.h"

void RequestRadioSwitch(handle_t, const char*) {}
void StopRadioControlServer(handle_t) {}

namespace {

template <typename Function>
const void* Address(Function* function) {
    return reinterpret_cast<const void*>(function);
}

// A static initialiser may hold the import thunk (jmp through the import address table)
// instead of the DLL's function itself: follow it.
const void* ResolvedImport(const void* address) {
    const auto* code = static_cast<const unsigned char*>(address);
    if (code[0] != 0xFF || code[1] != 0x25) return address;
    INT32 operand;
    memcpy(&operand, code + 2, sizeof operand);
#ifdef _WIN64
    const auto* slot = reinterpret_cast<const void* const*>(code + 6 + operand);  // rip-relative
#else
    const auto* slot = reinterpret_cast<const void* const*>(static_cast<UINT_PTR>(static_cast<UINT32>(operand)));
#endif
    return *slot;
}

TEST(ServerStub, InterfaceRecord) {
    const auto* record = static_cast<const RPC_SERVER_INTERFACE*>(RadioControlInterface_v1_0_s_ifspec);
    ASSERT_EQ(record, &RadioControlServerInterface);
    EXPECT_EQ(record->Length, sizeof(RPC_SERVER_INTERFACE));
    EXPECT_EQ(memcmp(&record->InterfaceId, &RadioControlInterfaceId, sizeof record->InterfaceId), 0);
    EXPECT_EQ(memcmp(&record->TransferSyntax, &NdrTransferSyntax, sizeof record->TransferSyntax), 0);
    ASSERT_NE(record->DispatchTable, nullptr);
    EXPECT_EQ(record->DispatchTable->DispatchTableCount, 2u);
    const void* serverCall = Address(GetProcAddress(GetModuleHandleA("rpcrt4.dll"), "NdrServerCall2"));
    EXPECT_EQ(ResolvedImport(Address(record->DispatchTable->DispatchTable[0])), serverCall);
    EXPECT_EQ(ResolvedImport(Address(record->DispatchTable->DispatchTable[1])), serverCall);
    EXPECT_EQ(record->DispatchTable->Reserved, 0);
    EXPECT_EQ(record->RpcProtseqEndpointCount, 0u);
    EXPECT_EQ(record->RpcProtseqEndpoint, nullptr);
    EXPECT_EQ(record->DefaultManagerEpv, nullptr);
    EXPECT_EQ(record->InterpreterInfo, &RadioControlServerInfo);
    EXPECT_EQ(record->Flags, 0x04000000u);
}

TEST(ServerStub, ServerInformationRoutesOpnumsToThisProgramsRoutines) {
    const MIDL_SERVER_INFO& info = RadioControlServerInfo;
    EXPECT_EQ(info.pStubDesc, &RadioControlServerStubDesc);
    ASSERT_NE(info.DispatchTable, nullptr);
    EXPECT_EQ(Address(info.DispatchTable[0]), Address(RequestRadioSwitch));
    EXPECT_EQ(Address(info.DispatchTable[1]), Address(StopRadioControlServer));
    EXPECT_EQ(info.ProcString, RadioControlProcFormat);
    EXPECT_EQ(info.FmtStringOffset, RadioControlProcOffsets);
    EXPECT_EQ(info.ThunkTable, nullptr);
    EXPECT_EQ(info.pTransferSyntax, nullptr);
    EXPECT_EQ(info.nCount, 0u);
    EXPECT_EQ(info.pSyntaxInfo, nullptr);
}

TEST(ServerStub, StubDescriptor) {
    const MIDL_STUB_DESC& desc = RadioControlServerStubDesc;
    EXPECT_EQ(desc.RpcInterfaceInformation, &RadioControlServerInterface);
    EXPECT_EQ(Address(desc.pfnAllocate), Address(MIDL_user_allocate));
    EXPECT_EQ(Address(desc.pfnFree), Address(MIDL_user_free));
    EXPECT_EQ(desc.IMPLICIT_HANDLE_INFO.pAutoHandle, nullptr);
    EXPECT_EQ(desc.apfnNdrRundownRoutines, nullptr);
    EXPECT_EQ(desc.aGenericBindingRoutinePairs, nullptr);
    EXPECT_EQ(desc.apfnExprEval, nullptr);
    EXPECT_EQ(desc.aXmitQuintuple, nullptr);
    EXPECT_EQ(desc.pFormatTypes, RadioControlTypeFormat);
    EXPECT_EQ(desc.fCheckBounds, 1);
    EXPECT_EQ(desc.Version, 0x00050002u);
    EXPECT_EQ(desc.pMallocFreeStruct, nullptr);
    EXPECT_EQ(desc.MIDLVersion, 0x0700022B);
    EXPECT_EQ(desc.CommFaultOffsets, nullptr);
    EXPECT_EQ(desc.aUserMarshalQuadruple, nullptr);
    EXPECT_EQ(desc.NotifyRoutineTable, nullptr);
    EXPECT_EQ(desc.mFlags, 0x1u);
    EXPECT_EQ(desc.CsRoutineTables, nullptr);
    EXPECT_EQ(desc.Reserved4, nullptr);
    EXPECT_EQ(desc.Reserved5, 0u);
}

}  // namespace
