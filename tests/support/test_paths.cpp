#include "test_paths.h"

#include <windows.h>

std::string BinaryDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

const char* LibraryFileName() { return "radioswitch" RADIOSWITCH_IMAGE_SUFFIX ".dll"; }

std::string LibraryPath() { return BinaryDirectory() + LibraryFileName(); }

std::string PeerFile(const char* name) {
    std::string path = RADIOSWITCH_PEER_BIN_DIR;
    if (path.empty()) return path;
    // A host path; Wine's drive Z: is the host's root.
    if (path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    if (path.back() != '\\') path += '\\';
    path += name;
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::string() : path;
}
