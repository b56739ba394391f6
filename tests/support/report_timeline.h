// The library's reports in the order they were made: debug texts as written (without
// the prefix) and trace events as "#N" or "#N(value)".
#pragma once

#include <string>
#include <vector>

#include "debug_capture.h"
#include "sim_sleep.h"
#include "sim_trace.h"

std::vector<std::string> ReportTimeline(const DebugCapture& capture, const SimTraceSession& session);
// The same with the pauses asked for on this thread, as "sleep N".
std::vector<std::string> ReportTimeline(const DebugCapture& capture, const SimTraceSession& session,
                                        const SimSleep& sleeps);
// Just the events, same notation.
std::vector<std::string> EventList(const SimTraceSession& session);
