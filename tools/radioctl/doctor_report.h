// The doctor's report: a table for people, or one JSON document for scripts:
// {"tool", "version", "machine", "time", "bitness", "ok": true|false,
//  "links": [{"link", "status", "found", "remedy"}, ...]}.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "doctor_link.h"

// Which tool wrote the report, where and when: what a collector needs beside the links.
struct ReportHeader {
    std::string Tool;     // radioctl64 or radioctl
    std::string Version;  // the project's, e.g. 1.0.0
    std::string Machine;  // the computer's DNS name (fully qualified in a domain), else its NetBIOS name
    std::string Time;     // UTC, ISO 8601 to the second: 2026-12-09T11:05:00Z
    int Bitness = 0;      // of radioctl itself: 64 or 32
};
ReportHeader DescribeThisReport();

const char* StatusName(LinkStatus status);
void WriteReportTable(FILE* out, const ReportHeader& header, const std::vector<LinkReport>& links);
void WriteReportJson(FILE* out, const ReportHeader& header, const std::vector<LinkReport>& links);
// A JSON string literal, quotes included, for text in the ANSI code page; every
// character outside printable ASCII is written as \uXXXX, so the document is ASCII.
std::string JsonString(const std::string& text);
