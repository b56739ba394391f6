#include "tool_environment.h"

#include <cstdarg>
#include <cstdio>

std::string ToolDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return std::string();
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

std::string DefaultLibraryPath() { return ToolDirectory() + DefaultLibraryName; }

std::string SystemMessage(DWORD code) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    while (length && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' ' ||
                      text[length - 1] == '.'))
        --length;
    return std::string(text, length);
}

std::string Format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    char text[1024];
    int length = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length < 0) return std::string();
    return std::string(text, static_cast<size_t>(length) < sizeof text ? static_cast<size_t>(length) : sizeof text - 1);
}
