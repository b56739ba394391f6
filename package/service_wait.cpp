// Runs inside the package's install and uninstall scripts. The service program exits 0
// whatever happens, so the package asks the Service Control Manager itself.
//   service_wait running NAME SECONDS  exit 0 once NAME reports running, 1 if it has not
//                                      within SECONDS (a failed install then rolls back)
//   service_wait gone NAME SECONDS     exit 0 once NAME is stopped and deleted (or was never
//                                      there), 1 if not within SECONDS; the files go after it
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

enum class Seen { Missing, Stopped, Running, Other, Unknown };

Seen Query(SC_HANDLE manager, const char* name) {
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? Seen::Missing : Seen::Unknown;
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    const BOOL ok = QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                         sizeof status, &needed);
    CloseServiceHandle(service);
    if (!ok) return Seen::Unknown;
    if (status.dwCurrentState == SERVICE_RUNNING) return Seen::Running;
    return status.dwCurrentState == SERVICE_STOPPED ? Seen::Stopped : Seen::Other;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const bool wantRunning = std::strcmp(argv[1], "running") == 0;
    if (!wantRunning && std::strcmp(argv[1], "gone") != 0) return 2;
    const DWORD limitMs = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) * 1000;

    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return 1;
    const DWORD start = GetTickCount();
    int result = 1;
    for (;;) {
        const Seen seen = Query(manager, argv[2]);
        if (wantRunning ? seen == Seen::Running : seen == Seen::Missing) {
            result = 0;
            break;
        }
        // A service that has stopped again, or never existed, will not start by waiting.
        if (wantRunning && (seen == Seen::Missing || (seen == Seen::Stopped && GetTickCount() - start > 3000)))
            break;
        if (GetTickCount() - start > limitMs) break;
        Sleep(250);
    }
    CloseServiceHandle(manager);
    return result;
}
