#include "test_paths.h"

#include <windows.h>

std::string BinaryDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

const char* LibraryFileName() {
#ifdef _WIN64
    return "radioswitch64.dll";
#else
    return "radioswitch.dll";
#endif
}

std::string LibraryPath() { return BinaryDirectory() + LibraryFileName(); }
