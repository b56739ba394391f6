// Runs inside the package's install and uninstall scripts. The service program exits 0
// whatever happens, so the package asks the Service Control Manager itself. A failure
// exits with the Win32 error that says why, which the package's log records:
//   service_wait running NAME SECONDS  0 once NAME reports running; 1058 when it is disabled,
//                                      the service's own exit code when it stopped, 1060 when
//                                      it is not registered, 1053 when SECONDS pass
//   service_wait stopped NAME SECONDS  0 once NAME is stopped (or not registered); 1053 when
//                                      SECONDS pass
//   service_wait gone NAME SECONDS     0 once NAME is deleted (or was never there); 1072 when
//                                      it is stopped but still registered (marked for deletion
//                                      while another process holds a handle to it), 1053 when
//                                      it still runs
//   service_wait image NAME FROM TO    points NAME at the image TO when its registration names
//                                      the image FROM (quoted or not, in any case): 0, also when
//                                      it names another image or is not registered, which stay
//                                      as they are; the Service Control Manager's error otherwise
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Seen {
    bool registered = false;
    bool disabled = false;
    SERVICE_STATUS_PROCESS status{};
};

Seen Query(SC_HANDLE manager, const char* name) {
    Seen seen;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    if (!service) {
        // Unknown rights or states count as present: only a deleted service is gone.
        seen.registered = GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
        return seen;
    }
    seen.registered = true;
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&seen.status),
                              sizeof seen.status, &needed))
        seen.status.dwCurrentState = 0;
    union {
        QUERY_SERVICE_CONFIGA config;
        BYTE bytes[8192];
    } buffer;
    if (QueryServiceConfigA(service, &buffer.config, sizeof buffer, &needed))
        seen.disabled = buffer.config.dwStartType == SERVICE_DISABLED;
    CloseServiceHandle(service);
    return seen;
}

DWORD ExitCodeOf(const SERVICE_STATUS_PROCESS& status) {
    if (status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR) return status.dwServiceSpecificExitCode;
    return status.dwWin32ExitCode ? status.dwWin32ExitCode : ERROR_SERVICE_NOT_ACTIVE;
}

// A registered binary path without the quotes around it.
std::string Unquoted(const char* path) {
    std::string text = path;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    return text;
}

// Registered as the service program registers itself: quoted when the path holds a space.
DWORD Retarget(SC_HANDLE manager, const char* name, const char* from, const char* to) {
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG);
    if (!service) {
        const DWORD error = GetLastError();
        return error == ERROR_SERVICE_DOES_NOT_EXIST ? ERROR_SUCCESS : error;
    }
    union {
        QUERY_SERVICE_CONFIGA config;
        BYTE bytes[8192];
    } buffer;
    DWORD needed = 0;
    DWORD result = ERROR_SUCCESS;
    if (!QueryServiceConfigA(service, &buffer.config, sizeof buffer, &needed)) {
        result = GetLastError();
    } else if (lstrcmpiA(Unquoted(buffer.config.lpBinaryPathName).c_str(), from) == 0) {
        const std::string image = std::strchr(to, ' ') ? '"' + std::string(to) + '"' : std::string(to);
        if (!ChangeServiceConfigA(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, image.c_str(),
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            result = GetLastError();
    }
    CloseServiceHandle(service);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "image") == 0) {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        if (!manager) return static_cast<int>(GetLastError());
        const DWORD result = Retarget(manager, argv[2], argv[3], argv[4]);
        CloseServiceHandle(manager);
        return static_cast<int>(result);
    }
    if (argc != 4) return ERROR_INVALID_PARAMETER;
    const char* want = argv[1];
    if (std::strcmp(want, "running") != 0 && std::strcmp(want, "stopped") != 0 && std::strcmp(want, "gone") != 0)
        return ERROR_INVALID_PARAMETER;
    const DWORD limitMs = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) * 1000;

    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return static_cast<int>(GetLastError());
    const DWORD start = GetTickCount();
    DWORD result = ERROR_SERVICE_REQUEST_TIMEOUT;
    for (;;) {
        const Seen seen = Query(manager, argv[2]);
        const DWORD state = seen.status.dwCurrentState;
        if (want[0] == 'r') {
            if (state == SERVICE_RUNNING) { result = 0; break; }
            // A service that is disabled, missing or has stopped again will not start by waiting.
            if (!seen.registered) { result = ERROR_SERVICE_DOES_NOT_EXIST; break; }
            if (seen.disabled) { result = ERROR_SERVICE_DISABLED; break; }
            if (state == SERVICE_STOPPED && GetTickCount() - start > 3000) { result = ExitCodeOf(seen.status); break; }
        } else if (want[0] == 's') {
            if (!seen.registered || state == SERVICE_STOPPED) { result = 0; break; }
        } else {
            if (!seen.registered) { result = 0; break; }
            result = state == SERVICE_STOPPED ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_REQUEST_TIMEOUT;
        }
        if (GetTickCount() - start > limitMs) break;
        Sleep(250);
    }
    CloseServiceHandle(manager);
    return static_cast<int>(result);
}
