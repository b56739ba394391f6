// The shipped service, started and left alone for 10 s: what it costs while nothing
// happens, as far as the platform tells. Prints the Windows view. Given a file name,
// the window ends when that file appears instead: bench/run.sh watches the same
// process from Linux for 10 s after "window opens", then creates the file, so that
// nothing this program asks about the service falls inside that window.
#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <map>

#include "bench_support.h"

namespace {

constexpr DWORD WindowMs = 10000;

struct ThreadSample {
    ULONGLONG Cpu100ns = 0;  // kernel + user, GetThreadTimes
    ULONG64 Cycles = 0;      // QueryThreadCycleTime
    ULONG ContextSwitches = 0;  // SYSTEM_THREAD_INFORMATION
};

struct ProcessSample {
    ULONGLONG Cpu100ns = 0;  // GetProcessTimes
    ULONGLONG OwnCpu100ns = 0;  // GetProcessTimes of this program, for comparison
    ULONGLONG Cycles = 0;    // QueryProcessCycleTime
    std::map<DWORD, ThreadSample> Threads;
};

ULONGLONG Ticks(const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

void SampleSystemInformation(DWORD pid, ProcessSample& sample) {
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    if (NtQuerySystemInformation(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) !=
        0)
        return;
    for (size_t offset = 0;;) {
        auto* process = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (HandleToULong(process->UniqueProcessId) == pid) {
            auto* threads = reinterpret_cast<SYSTEM_THREAD_INFORMATION*>(process + 1);
            for (ULONG i = 0; i < process->NumberOfThreads; ++i)
                sample.Threads[HandleToULong(threads[i].ClientId.UniqueThread)].ContextSwitches = threads[i].Reserved3;
            return;
        }
        if (!process->NextEntryOffset) return;
        offset += process->NextEntryOffset;
    }
}

ProcessSample Sample(DWORD pid) {
    ProcessSample sample;
    if (HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid)) {
        FILETIME created, exited, kernel, user;
        if (GetProcessTimes(process, &created, &exited, &kernel, &user)) sample.Cpu100ns = Ticks(kernel) + Ticks(user);
        QueryProcessCycleTime(process, &sample.Cycles);
        CloseHandle(process);
    }
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        sample.OwnCpu100ns = Ticks(kernel) + Ticks(user);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
            if (entry.th32OwnerProcessID != pid) continue;
            ThreadSample& thread = sample.Threads[entry.th32ThreadID];
            if (HANDLE handle = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID)) {
                FILETIME created, exited, kernel, user;
                if (GetThreadTimes(handle, &created, &exited, &kernel, &user))
                    thread.Cpu100ns = Ticks(kernel) + Ticks(user);
                QueryThreadCycleTime(handle, &thread.Cycles);
                CloseHandle(handle);
            }
        }
        CloseHandle(snapshot);
    }
    SampleSystemInformation(pid, sample);
    return sample;
}

// Ends the window: after WindowMs, or once `doneFile` exists.
void WaitForWindowEnd(const char* doneFile) {
    if (!doneFile) return Sleep(WindowMs);
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(doneFile) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 6 * WindowMs) Fail("the window's end was not signalled", 0);
        Sleep(100);
    }
}

}  // namespace

int main(int argc, char** argv) {
    PrepareRadioSupportKey(1);
    BenchService service(ServicePath());
    service.StartServing();
    const DWORD pid = service.ProcessId();
    Sleep(1000);  // let the start-up settle

    const ProcessSample before = Sample(pid);
    std::printf("IDLE window opens: service process %lu, %zu threads\n", static_cast<unsigned long>(pid),
                before.Threads.size());
    std::fflush(stdout);
    const double start = NowMs();
    WaitForWindowEnd(argc > 1 ? argv[1] : nullptr);
    const ProcessSample after = Sample(pid);
    const double windowMs = NowMs() - start;
    std::printf("IDLE window closes after %.0f ms\n", windowMs);
    std::fflush(stdout);

    ULONGLONG threadCpu = 0, threadCycles = 0, switches = 0;
    for (const auto& [tid, end] : after.Threads) {
        const auto found = before.Threads.find(tid);
        const ThreadSample begin = found == before.Threads.end() ? ThreadSample{} : found->second;
        std::printf("  thread %lu: cpu %llu00 ns (total %llu00 ns), cycles %llu (total %llu), context switches %lu"
                    " (total %lu)\n",
                    static_cast<unsigned long>(tid), end.Cpu100ns - begin.Cpu100ns, end.Cpu100ns,
                    end.Cycles - begin.Cycles, end.Cycles, end.ContextSwitches - begin.ContextSwitches,
                    end.ContextSwitches);
        threadCpu += end.Cpu100ns - begin.Cpu100ns;
        threadCycles += end.Cycles - begin.Cycles;
        switches += end.ContextSwitches - begin.ContextSwitches;
    }
    std::printf("  process: cpu %llu00 ns in the window (total since start %llu00 ns), cycles %llu (total %llu);"
                " this program's own cpu %llu00 ns (total %llu00 ns)\n",
                after.Cpu100ns - before.Cpu100ns, after.Cpu100ns, after.Cycles - before.Cycles, after.Cycles,
                after.OwnCpu100ns - before.OwnCpu100ns, after.OwnCpu100ns);
    // Wine fills some of these with zeros whatever the process does: a total of zero
    // since the start means "not reported", not "idle".
    auto reported = [&](ULONGLONG total, ULONGLONG delta, const char* unit) {
        if (total == 0) return std::string("not reported by Wine (0 even since the start)");
        return Format("%llu %s in %.1f s (%s)", delta, unit, windowMs / 1000, delta == 0 ? "met" : "missed");
    };
    ULONGLONG totalThreadCpu = 0, totalCycles = 0, totalSwitches = 0;
    for (const auto& [tid, end] : after.Threads) {
        totalThreadCpu += end.Cpu100ns;
        totalCycles += end.Cycles;
        totalSwitches += end.ContextSwitches;
    }
    // Wine answers GetProcessTimes for another process with the caller's own times.
    const bool ownTimes = after.Cpu100ns == after.OwnCpu100ns && before.Cpu100ns == before.OwnCpu100ns;
    PrintRow("idle service, Windows view: GetProcessTimes", "no CPU",
             ownTimes ? std::string("unusable: Wine returns this program's own times for another process")
                      : reported(after.Cpu100ns, (after.Cpu100ns - before.Cpu100ns) * 100, "ns"));
    PrintRow("idle service, Windows view: GetThreadTimes, all threads", "no CPU",
             reported(totalThreadCpu, threadCpu * 100, "ns"));
    PrintRow("idle service, Windows view: QueryThreadCycleTime, all threads", "no CPU",
             reported(totalCycles, threadCycles, "cycles"));
    PrintRow("idle service, Windows view: thread context switches", "no wake-ups",
             reported(totalSwitches, switches, "switches"));
    return 0;
}
