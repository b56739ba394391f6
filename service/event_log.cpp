#include "event_log.h"

#include <array>
#include <initializer_list>

#include "device_enumeration.h"
#include "platform.h"
#include "radio_contract.h"
#include "service_events.h"
#include "service_runtime.h"

namespace {

// Per event ID: when it was last written and how many were left out since.
struct RateRecord {
    DWORD Id;
    bool Written;
    DWORD LastTick;
    DWORD LeftOut;
};

constexpr std::array<DWORD, 7> EventIds = {EVENT_SERVICE_STARTED,    EVENT_START_FAILED,      EVENT_SWITCH_COMPLETED,
                                           EVENT_SWITCH_NODE_FAILED, EVENT_REQUEST_TIMED_OUT, EVENT_RESTART_NEEDED,
                                           EVENT_STATE_WRITE_FAILED};

// Reports come from RPC threads, the dispatcher thread and the service main at once.
// Held for the bookkeeping only: registering, writing and deregistering are calls into
// the EventLog service, and a slow one must hold up nobody else's report.
SRWLOCK LogLock = SRWLOCK_INIT;
HANDLE Source;

constexpr size_t MaxInserts = 4;
constexpr size_t InsertSize = 200;

// An admitted event, its texts copied, waiting to be written.
struct QueuedEvent {
    DWORD Id;
    WORD Type;
    WORD Count;
    char Inserts[MaxInserts + 1][InsertSize];
};

// Admitted events are written by a thread-pool thread, never by the reporter: device
// events report on the SCM's handler thread, which a slow or not yet started EventLog
// service must not hold up. The rate limit admits at most one event of an ID a minute,
// so a few places suffice; an event that finds none is counted as left out. Under LogLock.
constexpr size_t QueueSize = 16;
std::array<QueuedEvent, QueueSize> Queue;
size_t QueueHead;
size_t Queued;
// A drain is submitted or running; Drained is signalled when it ends.
bool Draining;
CONDITION_VARIABLE Drained = CONDITION_VARIABLE_INIT;

constexpr std::array<RateRecord, EventIds.size()> FreshRecords() {
    std::array<RateRecord, EventIds.size()> records{};
    for (size_t i = 0; i < EventIds.size(); ++i) records[i] = {EventIds[i], false, 0, 0};
    return records;
}
std::array<RateRecord, EventIds.size()> Records = FreshRecords();

RateRecord* RecordOf(DWORD id) {
    for (RateRecord& record : Records)
        if (record.Id == id) return &record;
    return nullptr;
}

// Under LogLock: true when the event is written now, with the count left out before it.
bool Admit(DWORD id, DWORD now, DWORD& leftOut) {
    RateRecord* record = RecordOf(id);
    if (!record) return false;
    // Unsigned difference: right across the tick counter's wrap.
    if (record->Written && now - record->LastTick < EventRateLimitMs) {
        ++record->LeftOut;
        return false;
    }
    leftOut = record->LeftOut;
    *record = {id, true, now, 0};
    return true;
}

// Registered on first need; a registration that failed is tried again by the next
// event. Two threads may register at once: the first handle published stays, the other
// is let go.
HANDLE EventSource() {
    AcquireSRWLockShared(&LogLock);
    HANDLE source = Source;
    ReleaseSRWLockShared(&LogLock);
    if (source) return source;
    const HANDLE registered = ServicePlatform.RegisterEventSourceA(nullptr, RadioServiceName);
    if (!registered) return nullptr;
    AcquireSRWLockExclusive(&LogLock);
    if (!Source) Source = registered;
    source = Source;
    ReleaseSRWLockExclusive(&LogLock);
    if (source != registered) ServicePlatform.DeregisterEventSource(registered);
    return source;
}

void WriteQueued(const QueuedEvent& event) {
    const HANDLE source = EventSource();
    if (!source) return;
    std::array<const char*, MaxInserts + 1> strings{};
    for (size_t i = 0; i < event.Count; ++i) strings[i] = event.Inserts[i];
    // A failed write is dropped.
    ServicePlatform.ReportEventA(source, event.Type, 0, event.Id, nullptr, event.Count, 0, strings.data(), nullptr);
}

// With Draining set by the caller: writes until the queue is empty, then clears it.
void DrainQueue() {
    for (;;) {
        AcquireSRWLockExclusive(&LogLock);
        if (Queued == 0) {
            Draining = false;
            ReleaseSRWLockExclusive(&LogLock);
            WakeAllConditionVariable(&Drained);
            return;
        }
        const QueuedEvent event = Queue[QueueHead];
        QueueHead = (QueueHead + 1) % QueueSize;
        --Queued;
        ReleaseSRWLockExclusive(&LogLock);
        WriteQueued(event);
    }
}

void CALLBACK DrainWork(PTP_CALLBACK_INSTANCE, PVOID) { DrainQueue(); }

void Write(DWORD id, WORD type, std::initializer_list<const char*> inserts) {
    QueuedEvent event{id, type, 0, {}};
    for (const char* insert : inserts)
        if (event.Count < MaxInserts) lstrcpynA(event.Inserts[event.Count++], insert, InsertSize);

    DWORD leftOut = 0;
    AcquireSRWLockExclusive(&LogLock);
    // The clock is read under the lock, so that events are admitted in the order of
    // their ticks: a later tick admitted first would let an earlier one pass as well.
    bool admitted = Admit(id, ServicePlatform.GetTickCount(), leftOut);
    if (admitted && Queued == QueueSize) {
        ++RecordOf(id)->LeftOut;
        admitted = false;
    }
    bool submit = false;
    if (admitted) {
        // wsprintfA, not the C runtime's formatting, which would double the image's size.
        wsprintfA(event.Inserts[event.Count++], "%lu", leftOut);
        Queue[(QueueHead + Queued++) % QueueSize] = event;
        submit = !Draining;
        Draining = true;
    }
    ReleaseSRWLockExclusive(&LogLock);
    if (!submit || TrySubmitThreadpoolCallback(DrainWork, nullptr, nullptr)) return;
    // Left queued: the next report submits again, and the flush before stopped writes it.
    AcquireSRWLockExclusive(&LogLock);
    Draining = false;
    ReleaseSRWLockExclusive(&LogLock);
    WakeAllConditionVariable(&Drained);
}

// Decimal as the platform's error lists give it, and hexadecimal for SetupAPI's and
// RPC's codes, which are looked up that way.
struct CodeText {
    char Text[32];
};
CodeText FormatCode(DWORD code) {
    CodeText text;
    wsprintfA(text.Text, "%lu (0x%08lX)", code, code);
    return text;
}

const char* DirectionText(DWORD direction) { return direction != 0 ? "on" : "off"; }

struct InstanceIdText {
    char Text[DeviceInstanceIdSize];
};
InstanceIdText InstanceIdOf(const SP_DEVINFO_DATA& node) {
    InstanceIdText id;
    // The switch's device lists are of the local machine.
    ReadDeviceInstanceId(node.DevInst, nullptr, id.Text);
    if (!id.Text[0]) lstrcpynA(id.Text, "(instance ID not readable)", sizeof id.Text);
    return id;
}

}  // namespace

void ReportListenStart(RPC_STATUS status) {
    if (status != RPC_S_OK) {
        ReportStartFailed("RpcServerListen", static_cast<DWORD>(status));
        return;
    }
    Write(EVENT_SERVICE_STARTED, EVENTLOG_INFORMATION_TYPE, {RadioControlEndpoint});
}

DWORD ReportStartFailed(const char* step, DWORD status) {
    const CodeText code = FormatCode(status);
    Write(EVENT_START_FAILED, EVENTLOG_ERROR_TYPE, {step, code.Text});
    return status;
}

void ReportSwitchCompleted(DWORD state) {
    Write(EVENT_SWITCH_COMPLETED, EVENTLOG_INFORMATION_TYPE, {DirectionText(state), state != 0 ? "1" : "0"});
}

void ReportSwitchNodeFailed(DWORD direction, const SP_DEVINFO_DATA& node, const char* call, DWORD error) {
    const CodeText code = FormatCode(error);
    const InstanceIdText id = InstanceIdOf(node);
    Write(EVENT_SWITCH_NODE_FAILED, EVENTLOG_WARNING_TYPE, {DirectionText(direction), id.Text, call, code.Text});
}

void ReportRequestTimedOut(DWORD direction) {
    Write(EVENT_REQUEST_TIMED_OUT, EVENTLOG_WARNING_TYPE, {DirectionText(direction)});
}

void ReportChangeWaitsForRestart(DWORD direction, const SP_DEVINFO_DATA& node) {
    const InstanceIdText id = InstanceIdOf(node);
    Write(EVENT_RESTART_NEEDED, EVENTLOG_WARNING_TYPE, {DirectionText(direction), id.Text});
}

void ReportStateWriteFailed(const char* call, LSTATUS error) {
    const CodeText code = FormatCode(static_cast<DWORD>(error));
    Write(EVENT_STATE_WRITE_FAILED, EVENTLOG_ERROR_TYPE, {call, code.Text});
}

void FlushEventReports() {
    AcquireSRWLockExclusive(&LogLock);
    while (Draining) SleepConditionVariableSRW(&Drained, &LogLock, INFINITE, 0);
    const bool queued = Queued != 0;
    Draining = queued;
    ReleaseSRWLockExclusive(&LogLock);
    if (queued) DrainQueue();
}

void CloseEventSource() {
    FlushEventReports();
    AcquireSRWLockExclusive(&LogLock);
    const HANDLE source = Source;
    Source = nullptr;
    Records = FreshRecords();
    ReleaseSRWLockExclusive(&LogLock);
    if (source) ServicePlatform.DeregisterEventSource(source);
}
