#include "report_timeline.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

std::string EventName(const SentTraceMessage& message) {
    char text[64];
    std::snprintf(text, sizeof text, "#%u", message.Number);
    std::string name = text;
    for (const std::vector<BYTE>& argument : message.Arguments) {
        if (argument.size() == sizeof(ULONG)) {
            ULONG value;
            std::memcpy(&value, argument.data(), sizeof value);
            std::snprintf(text, sizeof text, "(%lu)", value);
        } else {
            std::snprintf(text, sizeof text, "(%zu bytes)", argument.size());
        }
        name += text;
    }
    return name;
}

using TimelineEntries = std::vector<std::pair<LONG, std::string>>;

TimelineEntries ReportEntries(const DebugCapture& capture, const SimTraceSession& session) {
    const DWORD thread = GetCurrentThreadId();
    TimelineEntries entries;
    bool prefixSeen = false;
    for (const CapturedOutput& output : capture.Outputs()) {
        if (output.ThreadId != thread) continue;
        if (prefixSeen) {
            entries.emplace_back(output.Stamp, output.Text);
            prefixSeen = false;
        } else if (output.Text == DebugPrefix) {
            prefixSeen = true;
        } else {
            entries.emplace_back(output.Stamp, "<no prefix>" + output.Text);
        }
    }
    for (const SentTraceMessage& message : session.Messages) entries.emplace_back(message.Stamp, EventName(message));
    return entries;
}

std::vector<std::string> InOrder(TimelineEntries entries) {
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> timeline;
    for (auto& entry : entries) timeline.push_back(std::move(entry.second));
    return timeline;
}

}  // namespace

std::vector<std::string> ReportTimeline(const DebugCapture& capture, const SimTraceSession& session) {
    return InOrder(ReportEntries(capture, session));
}

std::vector<std::string> ReportTimeline(const DebugCapture& capture, const SimTraceSession& session,
                                        const SimSleep& sleeps) {
    TimelineEntries entries = ReportEntries(capture, session);
    for (const RequestedSleep& sleep : sleeps.Sleeps())
        if (sleep.ThreadId == GetCurrentThreadId())
            entries.emplace_back(sleep.Stamp, "sleep " + std::to_string(sleep.Milliseconds));
    return InOrder(std::move(entries));
}

std::vector<std::string> EventList(const SimTraceSession& session) {
    std::vector<std::string> events;
    for (const SentTraceMessage& message : session.Messages) events.push_back(EventName(message));
    return events;
}
