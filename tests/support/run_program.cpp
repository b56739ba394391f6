#include "run_program.h"

#include <gtest/gtest.h>

namespace {

// An inheritable temporary file, gone when its last handle closes: unlike a pipe it
// never blocks a program that writes more than a pipe holds.
HANDLE CreateCaptureFile() {
    char directory[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    GetTempFileNameA(directory, "out", 0, path);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string ReadAll(HANDLE file) {
    std::string text;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD read;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
    return text;
}

}  // namespace

BOOL StartProcess(const char* application, std::string& commandLine, BOOL inheritHandles, STARTUPINFOA& startup,
                  PROCESS_INFORMATION& process) {
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessA(application, commandLine.data(), nullptr, nullptr, inheritHandles, 0, nullptr, nullptr,
                           &startup, &process))
            return TRUE;
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) return FALSE;
    }
}

ProgramRun RunProgram(const std::string& path, const std::string& arguments, DWORD timeoutMs) {
    ProgramRun run;
    HANDLE out = CreateCaptureFile();
    HANDLE err = CreateCaptureFile();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string commandLine = "\"";
    commandLine += path;
    commandLine += "\"";
    if (!arguments.empty()) {
        commandLine += ' ';
        commandLine += arguments;
    }
    PROCESS_INFORMATION process{};
    const DWORD start = GetTickCount();
    if (StartProcess(nullptr, commandLine, TRUE, startup, process)) {
        if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &run.ExitCode);
        } else {
            ADD_FAILURE() << commandLine << " did not end within " << timeoutMs << " ms";
            TerminateProcess(process.hProcess, 1);
        }
        run.ElapsedMs = GetTickCount() - start;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        run.Out = ReadAll(out);
        run.Err = ReadAll(err);
    } else {
        ADD_FAILURE() << "CreateProcessA " << commandLine << ": " << GetLastError();
    }
    CloseHandle(out);
    CloseHandle(err);
    return run;
}
