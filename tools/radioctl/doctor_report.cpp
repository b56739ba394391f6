#include "doctor_report.h"

#include <windows.h>

#include "tool_environment.h"

namespace {

constexpr int NameWidth = 18;
constexpr int StatusWidth = 8;

std::string MachineName() {
    char name[256];
    DWORD size = sizeof name;
    if (GetComputerNameExA(ComputerNameDnsFullyQualified, name, &size) && size) return std::string(name, size);
    size = sizeof name;
    if (GetComputerNameA(name, &size)) return std::string(name, size);
    return std::string();
}

}  // namespace

ReportHeader DescribeThisReport() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return {RadioctlName, ToolVersion(), MachineName(),
            Format("%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                   now.wSecond),
            static_cast<int>(sizeof(void*) * 8)};
}

const char* StatusName(LinkStatus status) {
    switch (status) {
    case LinkStatus::Ok: return "ok";
    case LinkStatus::Warning: return "warning";
    case LinkStatus::Broken: return "broken";
    }
    return "broken";
}

void WriteReportTable(FILE* out, const ReportHeader& header, const std::vector<LinkReport>& links) {
    std::fprintf(out, "%s %s (%d-bit) on %s at %s\n", header.Tool.c_str(), header.Version.c_str(), header.Bitness,
                 header.Machine.c_str(), header.Time.c_str());
    std::fprintf(out, "%-*s %-*s %s\n", StatusWidth, "STATUS", NameWidth, "LINK", "FOUND (-> WHAT TO DO)");
    std::string broken;
    for (const LinkReport& link : links) {
        std::fprintf(out, "%-*s %-*s %s\n", StatusWidth, StatusName(link.Status), NameWidth, link.Link,
                     link.Found.c_str());
        if (!link.Remedy.empty())
            std::fprintf(out, "%-*s -> %s\n", StatusWidth + 1 + NameWidth, "", link.Remedy.c_str());
        if (link.Status == LinkStatus::Broken) broken += std::string(broken.empty() ? "" : ", ") + link.Link;
    }
    if (broken.empty())
        std::fprintf(out, "no link is broken\n");
    else
        std::fprintf(out, "broken: %s\n", broken.c_str());
}

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    if (text.empty()) return json + "\"";
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    for (wchar_t unit : wide) {
        if (unit == L'"' || unit == L'\\') {
            json += '\\';
            json += static_cast<char>(unit);
        } else if (unit >= 0x20 && unit < 0x7F) {
            json += static_cast<char>(unit);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
            json += escaped;
        }
    }
    return json + "\"";
}

void WriteReportJson(FILE* out, const ReportHeader& header, const std::vector<LinkReport>& links) {
    std::fprintf(out, "{\"tool\": %s, \"version\": %s, \"machine\": %s, \"time\": %s, \"bitness\": %d,\n",
                 JsonString(header.Tool).c_str(), JsonString(header.Version).c_str(),
                 JsonString(header.Machine).c_str(), JsonString(header.Time).c_str(), header.Bitness);
    std::fprintf(out, " \"ok\": %s, \"links\": [", AnyBroken(links) ? "false" : "true");
    const char* separator = "\n  ";
    for (const LinkReport& link : links) {
        std::fprintf(out, "%s{\"link\": %s, \"status\": %s, \"found\": %s, \"remedy\": %s}", separator,
                     JsonString(link.Link).c_str(), JsonString(StatusName(link.Status)).c_str(),
                     JsonString(link.Found).c_str(), JsonString(link.Remedy).c_str());
        separator = ",\n  ";
    }
    std::fprintf(out, "\n]}\n");
}
