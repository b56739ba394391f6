// Captures the process's debug output as a debugger would see it: every
// OutputDebugStringA raises DBG_PRINTEXCEPTION_C, which a vectored handler records.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CapturedOutput {
    LONG Stamp;  // position in the shared timeline
    DWORD ThreadId;
    std::string Text;
};

class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    // Every output of every thread, in order.
    std::vector<CapturedOutput> Outputs() const;
    // The library's texts written on one thread (default: the capturing thread), prefix
    // removed. An output that should have been a prefix but is not shows as "<no prefix>".
    std::vector<std::string> Texts() const;
    std::vector<std::string> Texts(DWORD threadId) const;
    void Clear();

private:
    PVOID handler_;
    DWORD threadId_;
};

inline constexpr char DebugPrefix[] = "ZUZORERIZEZUDADUR:";
