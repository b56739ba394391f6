// The shipped DLL, loaded and unloaded by the real loader. The trace provider is the
// platform's here, so only the debug texts are observed.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "debug_capture.h"
#include "radio_server_process.h"
#include "registry_fixture.h"
#include "test_paths.h"

namespace {

using Texts = std::vector<std::string>;

const Texts LoadTexts{"DllMain  ==>> \n",
                      "DLL_PROCESS_ATTACH !!!\n",
                      "RadioDllInit == >> \n",
                      "OpenBtRadioKey: Registry Key Opened Successfully !!! \n",
                      "RadioDllInit << == \n",
                      "DllMain << ==\n"};
const Texts UnloadTexts{"DllMain  ==>> \n",       "DLL_PROCESS_DETACH\n",   "RadioDllDeInit == >> \n",
                        "CloseBtRadioKey: Closed Radio KEY Handle!!!\n", "RadioDllDeInit << == \n",
                        "DllMain << ==\n"};

// Bytes in use in the process heap, which holds the library's context: exact, unlike
// committed pages.
SIZE_T ProcessHeapBytesInUse() {
    HANDLE heap = GetProcessHeap();
    SIZE_T total = 0;
    PROCESS_HEAP_ENTRY entry{};
    HeapLock(heap);
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    HeapUnlock(heap);
    return total;
}

class LoadedLibrary : public testing::Test {
protected:
    void TearDown() override {
        if (module) FreeLibrary(module);
        DeleteRadioSupportKey();
    }
    HMODULE module = nullptr;
};

TEST_F(LoadedLibrary, RefusesToLoadWithoutTheKey) {
    DeleteRadioSupportKey();
    DebugCapture capture;
    module = LoadLibraryA(LibraryPath().c_str());
    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    // The runtime's detach after the failed attach runs, with no key to close.
    EXPECT_EQ(capture.Texts(),
              (Texts{"DllMain  ==>> \n", "DLL_PROCESS_ATTACH !!!\n", "RadioDllInit == >> \n",
                     "OpenBtRadioKey: Could Not Open Registry key!!! \n", "DllMain FAILED! << ==\n", "DllMain  ==>> \n",
                     "DLL_PROCESS_DETACH\n", "RadioDllDeInit == >> \n", "RadioDllDeInit << == \n", "DllMain << ==\n"}));
}

TEST_F(LoadedLibrary, ReportsEveryThreadOfTheHost) {
    CreateRadioSupportKey();
    module = LoadLibraryA(LibraryPath().c_str());
    ASSERT_NE(module, nullptr);
    DebugCapture capture;
    DWORD threadId = 0;
    std::thread([&] { threadId = GetCurrentThreadId(); }).join();
    EXPECT_EQ(capture.Texts(threadId), (Texts{"DllMain  ==>> \n", "DLL_THREAD_ATTACH\n", "DllMain << ==\n",
                                              "DllMain  ==>> \n", "DLL_THREAD_DETACH\n", "DllMain << ==\n"}));
}

// Refused loads among the cycles: the runtime's detach after each failed attach runs too.
TEST_F(LoadedLibrary, LoadsUnloadsAndRefusalsLeaveNoHandlesOrMemoryBehind) {
    const auto cycle = [](int i) {
        CreateRadioSupportKey();
        DebugCapture capture;
        HMODULE loaded = LoadLibraryA(LibraryPath().c_str());
        ASSERT_NE(loaded, nullptr) << i;
        EXPECT_EQ(capture.Texts(), LoadTexts) << i;
        capture.Clear();
        ASSERT_TRUE(FreeLibrary(loaded));
        EXPECT_EQ(capture.Texts(), UnloadTexts) << i;
        DeleteRadioSupportKey();
        ASSERT_EQ(LoadLibraryA(LibraryPath().c_str()), nullptr) << i;
    };
    for (int i = 0; i < 5; ++i) cycle(i);
    const SIZE_T heapBefore = ProcessHeapBytesInUse();
    const SIZE_T memoryBefore = CommittedPrivateBytes();
    const ULONG_PTR handleBefore = NextHandleValue();
    constexpr int Cycles = 60;
    for (int i = 0; i < Cycles; ++i) cycle(i);
    EXPECT_LT(ProcessHeapBytesInUse(), heapBefore + 8 * Cycles) << "a context left behind is 8 bytes or more";
    EXPECT_LT(CommittedPrivateBytes(), memoryBefore + 64 * 1024);
    EXPECT_LE(NextHandleValue(), handleBefore + 4 * sizeof(HANDLE)) << "handles are reused, not piling up";
}

TEST(LibraryImage, CarriesItsVersionResourceAndAsInvokerManifest) {
    HMODULE image = LoadLibraryExA(LibraryPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC manifest = FindResourceA(image, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr) << "a DLL's manifest has resource ID 2";
    std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                     SizeofResource(image, manifest));
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos) << text;
    FreeLibrary(image);

    DWORD ignored;
    DWORD size = GetFileVersionInfoSizeA(LibraryPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(LibraryPath().c_str(), 0, size, block.data()));
    char* value;
    UINT length;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\FileDescription",
                               reinterpret_cast<void**>(&value), &length));
    EXPECT_STREQ(value, "Zentrik Bluetooth Radio Control DLL");
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\OriginalFilename",
                               reinterpret_cast<void**>(&value), &length));
    EXPECT_STREQ(value, LibraryFileName());
}

}  // namespace
