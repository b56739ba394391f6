#include "debug_capture.h"

#include <mutex>

#include "timeline.h"

namespace {

std::mutex captureLock;
std::vector<CapturedOutput> captured;

LONG CALLBACK RecordDebugOutput(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    // [0] is the length including the terminator, [1] the text.
    const auto length = static_cast<size_t>(record->ExceptionInformation[0]);
    const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    std::lock_guard<std::mutex> lock(captureLock);
    captured.push_back({NextTimelineStamp(), GetCurrentThreadId(), std::string(text, length ? length - 1 : 0)});
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

DebugCapture::DebugCapture() : handler_(AddVectoredExceptionHandler(1, RecordDebugOutput)),
                               threadId_(GetCurrentThreadId()) {
    Clear();
}

DebugCapture::~DebugCapture() { RemoveVectoredExceptionHandler(handler_); }

std::vector<CapturedOutput> DebugCapture::Outputs() const {
    std::lock_guard<std::mutex> lock(captureLock);
    return captured;
}

std::vector<std::string> DebugCapture::Texts() const { return Texts(threadId_); }

std::vector<std::string> DebugCapture::Texts(DWORD threadId) const {
    std::vector<std::string> texts;
    bool prefixSeen = false;
    for (const CapturedOutput& output : Outputs()) {
        if (output.ThreadId != threadId) continue;
        if (prefixSeen) {
            texts.push_back(output.Text);
            prefixSeen = false;
        } else if (output.Text == DebugPrefix) {
            prefixSeen = true;
        } else {
            texts.push_back("<no prefix>" + output.Text);
        }
    }
    if (prefixSeen) texts.push_back("<prefix without text>");
    return texts;
}

void DebugCapture::Clear() {
    std::lock_guard<std::mutex> lock(captureLock);
    captured.clear();
}
