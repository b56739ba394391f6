// The contract's values for what the client and the server stub share, written out here
// so that a typo in the stubs cannot pass. Each test program checks its own stub's records.
#pragma once

#include <gtest/gtest.h>

#include <rpc.h>
#include <rpcndr.h>

#include <vector>

using FormatBytes = std::vector<unsigned char>;

// Interface 00000002-eaf3-4a7a-a0f2-bce4c30da77e 1.0 over NDR 8a885d04-1ceb-11c9-9fe8-08002b104860 2.0.
inline void ExpectRadioControlSyntax(const RPC_SYNTAX_IDENTIFIER& interfaceId, const RPC_SYNTAX_IDENTIFIER& transfer) {
    const GUID interfaceUuid = {0x00000002, 0xEAF3, 0x4A7A, {0xA0, 0xF2, 0xBC, 0xE4, 0xC3, 0x0D, 0xA7, 0x7E}};
    const GUID ndrUuid = {0x8A885D04, 0x1CEB, 0x11C9, {0x9F, 0xE8, 0x08, 0x00, 0x2B, 0x10, 0x48, 0x60}};
    EXPECT_TRUE(IsEqualGUID(interfaceId.SyntaxGUID, interfaceUuid));
    EXPECT_EQ(interfaceId.SyntaxVersion.MajorVersion, 1);
    EXPECT_EQ(interfaceId.SyntaxVersion.MinorVersion, 0);
    EXPECT_TRUE(IsEqualGUID(transfer.SyntaxGUID, ndrUuid));
    EXPECT_EQ(transfer.SyntaxVersion.MajorVersion, 2);
    EXPECT_EQ(transfer.SyntaxVersion.MinorVersion, 0);
}

// Every field of a stub descriptor but the interface information and the implicit handle.
inline void ExpectSharedDescriptorFields(const MIDL_STUB_DESC& desc) {
    EXPECT_EQ(reinterpret_cast<const void*>(desc.pfnAllocate), reinterpret_cast<const void*>(MIDL_user_allocate));
    EXPECT_EQ(reinterpret_cast<const void*>(desc.pfnFree), reinterpret_cast<const void*>(MIDL_user_free));
    EXPECT_EQ(desc.apfnNdrRundownRoutines, nullptr);
    EXPECT_EQ(desc.aGenericBindingRoutinePairs, nullptr);
    EXPECT_EQ(desc.apfnExprEval, nullptr);
    EXPECT_EQ(desc.aXmitQuintuple, nullptr);
    ASSERT_NE(desc.pFormatTypes, nullptr);
    EXPECT_EQ(FormatBytes(desc.pFormatTypes, desc.pFormatTypes + 7), (FormatBytes{0x00, 0x00, 0x11, 0x08, 0x22, 0x5C, 0x00}))
        << "the type format string";
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
