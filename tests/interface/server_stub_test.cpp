// The server stub as the runtime reaches it from the interface record the service
// registers: records, routines and format strings, compared with the contract's values
// written out here. This program supplies the two server routines, as the service does.
#include <gtest/gtest.h>

#include <cstring>

#include "radio_control.h"
#include "stub_expectations.h"

void RequestRadioSwitch(handle_t, const char*) {}
void StopRadioControlServer(handle_t) {}

namespace {

template <typename Function>
const void* Address(Function* function) {
    return reinterpret_cast<const void*>(function);
}

// A static initialiser may hold the import thunk instead of the DLL's function itself:
// follow it through the import address table.
#ifdef __aarch64__
const void* ResolvedImport(const void* address) {
    // adrp x16, page; ldr x16, [x16, #offset]; br x16
    UINT32 code[3];
    memcpy(code, address, sizeof code);
    if ((code[0] & 0x9F00001F) != 0x90000010 || (code[1] & 0xFFC003FF) != 0xF9400210 || code[2] != 0xD61F0200)
        return address;
    INT64 pages = ((code[0] >> 5 & 0x7FFFF) << 2) | (code[0] >> 29 & 3);
    if (pages & 0x100000) pages -= 0x200000;
    const UINT_PTR page = (reinterpret_cast<UINT_PTR>(address) & ~UINT_PTR{0xFFF}) + static_cast<UINT_PTR>(pages * 4096);
    return *reinterpret_cast<const void* const*>(page + (code[1] >> 10 & 0xFFF) * 8);
}
#else
const void* ResolvedImport(const void* address) {
    // jmp [slot]
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
#endif

const RPC_SERVER_INTERFACE& Record() { return *static_cast<const RPC_SERVER_INTERFACE*>(RadioControlInterface_v1_0_s_ifspec); }
const MIDL_SERVER_INFO& ServerInfo() { return *static_cast<const MIDL_SERVER_INFO*>(Record().InterpreterInfo); }

TEST(ServerStub, InterfaceRecord) {
    const RPC_SERVER_INTERFACE& record = Record();
    EXPECT_EQ(record.Length, sizeof(RPC_SERVER_INTERFACE));
    ExpectRadioControlSyntax(record.InterfaceId, record.TransferSyntax);
    ASSERT_NE(record.DispatchTable, nullptr);
    EXPECT_EQ(record.DispatchTable->DispatchTableCount, 2u);
    const void* serverCall = Address(GetProcAddress(GetModuleHandleA("rpcrt4.dll"), "NdrServerCall2"));
    EXPECT_EQ(ResolvedImport(Address(record.DispatchTable->DispatchTable[0])), serverCall);
    EXPECT_EQ(ResolvedImport(Address(record.DispatchTable->DispatchTable[1])), serverCall);
    EXPECT_EQ(record.DispatchTable->Reserved, 0);
    EXPECT_EQ(record.RpcProtseqEndpointCount, 0u);
    EXPECT_EQ(record.RpcProtseqEndpoint, nullptr);
    EXPECT_EQ(record.DefaultManagerEpv, nullptr);
    ASSERT_NE(record.InterpreterInfo, nullptr);
    EXPECT_EQ(record.Flags, 0x04000000u);
}

TEST(ServerStub, ServerInformationRoutesOpnumsToThisProgramsRoutines) {
    const MIDL_SERVER_INFO& info = ServerInfo();
    ASSERT_NE(info.DispatchTable, nullptr);
    EXPECT_EQ(Address(info.DispatchTable[0]), Address(RequestRadioSwitch));
    EXPECT_EQ(Address(info.DispatchTable[1]), Address(StopRadioControlServer));
    ASSERT_NE(info.FmtStringOffset, nullptr);
    EXPECT_EQ(info.FmtStringOffset[0], 0);
    EXPECT_EQ(info.FmtStringOffset[1], sizeof(void*) == 8 ? 36 : 34);
    EXPECT_EQ(info.ThunkTable, nullptr);
    EXPECT_EQ(info.pTransferSyntax, nullptr);
    EXPECT_EQ(info.nCount, 0u);
    EXPECT_EQ(info.pSyntaxInfo, nullptr);
}

TEST(ServerStub, ProcedureFormatString) {
#ifdef _WIN64
    const FormatBytes expected = {
        0x00, 0x48, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x42, 0x01, 0x0A, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0B, 0x01, 0x08, 0x00,
        0x04, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00, 0x32, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x40, 0x00, 0x0A, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    };
    ASSERT_EQ(expected.size(), 67u);
#else
    const FormatBytes expected = {
        0x00, 0x48, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x42, 0x01, 0x08, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0B, 0x01, 0x04, 0x00,
        0x04, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x04, 0x00, 0x32, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x08, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    };
    ASSERT_EQ(expected.size(), 63u);
#endif
    const unsigned char* format = ServerInfo().ProcString;
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(FormatBytes(format, format + expected.size()), expected);
}

TEST(ServerStub, StubDescriptor) {
    const MIDL_STUB_DESC* desc = ServerInfo().pStubDesc;
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->RpcInterfaceInformation, &Record()) << "the descriptor names the record the runtime was given";
    EXPECT_EQ(desc->IMPLICIT_HANDLE_INFO.pAutoHandle, nullptr);
    ExpectSharedDescriptorFields(*desc);
}

TEST(UserMemory, AllocatesFromTheProcessHeapAndAcceptsNull) {
    void* block = MIDL_user_allocate(100);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(HeapSize(GetProcessHeap(), 0, block), 100u);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, block));
    MIDL_user_free(block);
    MIDL_user_free(nullptr);
    EXPECT_EQ(MIDL_user_allocate(~size_t{0} - 4096), nullptr) << "exhaustion is reported as null";
}

}  // namespace
