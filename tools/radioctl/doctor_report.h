// The doctor's report: a table for people, or one JSON document for scripts:
// {"ok": true|false, "links": [{"link", "status", "found", "remedy"}, ...]}.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "doctor.h"

const char* StatusName(LinkStatus status);
void WriteReportTable(FILE* out, const std::vector<LinkReport>& links);
void WriteReportJson(FILE* out, const std::vector<LinkReport>& links);
// A JSON string literal, quotes included, for text in the ANSI code page; every
// character outside printable ASCII is written as \uXXXX, so the document is ASCII.
std::string JsonString(const std::string& text);
