// The stub data compared with the contract's values, written out independently here so
// that a typo in the stubs cannot pass.
#include <gtest/gtest.h>

#include <vector>

#include "radio_control_stubs.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ProcFormatBytes() { return Bytes(RadioControlProcFormat, RadioControlProcFormat + RadioControlProcFormatLength); }

TEST(StubFormat, ProcedureFormatStringMatchesTheContract) {
#ifdef _WIN64
    const Bytes expected = {
        0x00, 0x48, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x42, 0x01, 0x0A, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0B, 0x01, 0x08, 0x00,
        0x04, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00, 0x32, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x40, 0x00, 0x0A, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    };
    ASSERT_EQ(expected.size(), 67u);
#else
    const Bytes expected = {
        0x00, 0x48, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x42, 0x01, 0x08, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0B, 0x01, 0x04, 0x00,
        0x04, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x04, 0x00, 0x32, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x08, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    };
    ASSERT_EQ(expected.size(), 63u);
#endif
    EXPECT_EQ(ProcFormatBytes(), expected);
}

TEST(StubFormat, ProcedureOffsetsPointAtEachOpnum) {
#ifdef _WIN64
    const unsigned short expected[] = {0, 36};
#else
    const unsigned short expected[] = {0, 34};
#endif
    EXPECT_EQ(RadioControlProcOffsets[0], expected[0]);
    EXPECT_EQ(RadioControlProcOffsets[1], expected[1]);
    // Each offset starts a procedure header carrying its own opnum (little-endian at +6).
    for (unsigned short opnum = 0; opnum < 2; ++opnum) {
        const unsigned char* header = RadioControlProcFormat + RadioControlProcOffsets[opnum];
        EXPECT_EQ(header[0], 0x00);
        EXPECT_EQ(header[6] | header[7] << 8, opnum);
    }
}

TEST(StubFormat, TypeFormatStringMatchesTheContract) {
    EXPECT_EQ(Bytes(RadioControlTypeFormat, RadioControlTypeFormat + RadioControlTypeFormatLength),
              (Bytes{0x00, 0x00, 0x11, 0x08, 0x22, 0x5C, 0x00}));
}

TEST(StubFormat, InterfaceIdentityAndTransferSyntax) {
    const GUID interfaceUuid = {0x00000002, 0xEAF3, 0x4A7A, {0xA0, 0xF2, 0xBC, 0xE4, 0xC3, 0x0D, 0xA7, 0x7E}};
    const GUID ndrUuid = {0x8A885D04, 0x1CEB, 0x11C9, {0x9F, 0xE8, 0x08, 0x00, 0x2B, 0x10, 0x48, 0x60}};
    EXPECT_TRUE(IsEqualGUID(RadioControlInterfaceId.SyntaxGUID, interfaceUuid));
    EXPECT_EQ(RadioControlInterfaceId.SyntaxVersion.MajorVersion, 1);
    EXPECT_EQ(RadioControlInterfaceId.SyntaxVersion.MinorVersion, 0);
    EXPECT_TRUE(IsEqualGUID(NdrTransferSyntax.SyntaxGUID, ndrUuid));
    EXPECT_EQ(NdrTransferSyntax.SyntaxVersion.MajorVersion, 2);
    EXPECT_EQ(NdrTransferSyntax.SyntaxVersion.MinorVersion, 0);
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
