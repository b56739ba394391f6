// Writes the trace message format (TMF) file that lets the platform's trace viewers
// (tracefmt, TraceView) decode the library's events. Built and run on the build host,
// from the same table the library reports with.
#include <cstdio>
#include <string>

#include "trace_events.h"

namespace {

constexpr char MessageGuid[] = "fa39bbd6-335a-1019-b23b-cfb8fb0ba24b";

// The debug text as a TMF message: "%s" is the sender's name, "%d" the event's value
// (first argument, numbered 10), and no line end (the viewer adds its own). The two
// events without a debug text both mark their sender's failure.
std::string MessageText(const TraceEventEntry& entry) {
    std::string text;
    for (const char* c = entry.Text ? entry.Text : "%s FAILED"; *c; ++c) {
        if (c[0] == '%' && c[1] == 's') {
            text += entry.Sender;
            ++c;
        } else if (c[0] == '%' && c[1] == 'd') {
            text += "%10!d!";
            ++c;
        } else if (*c != '\n') {
            text += *c;
        }
    }
    return text;
}

}  // namespace

int main() {
    std::printf("// Trace message format of the radio support library's events.\n");
    std::printf("// Control GUID {C31877A2-C8C8-4C58-B5B8-7D6311D5E343}, message GUID {%s}.\n", MessageGuid);
    std::printf("%s radioswitch // SRC=radioswitch\n", MessageGuid);
    for (const TraceEventEntry& entry : TraceEventTable) {
        std::printf("#typev radioswitch_%u %u \"%%0%s\" //   LEVEL=0 FLAGS=1 FUNC=%s\n", entry.Number, entry.Number,
                    MessageText(entry).c_str(), entry.Sender);
        std::printf("{\n");
        if (entry.HasValue) std::printf("Value, ItemLong -- 10\n");
        std::printf("}\n");
    }
    return 0;
}
