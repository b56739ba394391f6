#include <cstdarg>
#include <cstdio>

#include "diagnostics.h"

void DebugPrint(const char* format, ...) {
    OutputDebugStringA("ZUZORERIZEZUDADUR:");
    // On the stack, never the heap: this runs under the loader lock too.
    char text[1024];
    va_list args;
    va_start(args, format);
    // The runtime's _vsnprintf leaves out the terminator when it has to cut.
    _vsnprintf(text, sizeof text - 1, format, args);
    va_end(args);
    text[sizeof text - 1] = '\0';
    OutputDebugStringA(text);
}
