#include "device_enumeration.h"

#include <cfgmgr32.h>

#include <cstdint>
#include <cstring>

#include "platform.h"

namespace {

// Read in one call in the normal case; the two spare bytes guarantee the closing empty string.
constexpr DWORD PropertyBufferSize = 8192;

void* Allocate(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void Release(void* block) { HeapFree(GetProcessHeap(), 0, block); }

// First occurrence of an ASCII character, stepping by characters of the ANSI code page.
const char* FindCharacter(const char* text, char wanted) {
    for (; *text; text = CharNextA(text)) {
        if (*text == wanted) return text;
    }
    return nullptr;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares up to `length` bytes without regard to the case of ASCII letters; stops early
// (unequal) where one side ends before the other.
bool EqualIgnoringCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
        if (!a[i]) return true;
    }
    return true;
}

// Where the segment starting with `first` may begin at or after `at`; null at the end of the ID.
const char* FindSegmentCandidate(const char* at, char first) {
    if (!IsAsciiLetter(first)) return std::strchr(at, first);
    for (; *at; at = CharNextA(at)) {
        if (FoldCase(*at) == FoldCase(first)) return at;
    }
    return nullptr;
}

bool MatchIdentifier(const char* id, const IdentifierToken& token) {
    if (!token.WildcardAt) {
        return EqualIgnoringCase(id, token.PatternStart, std::strlen(token.PatternStart) + 1);
    }
    size_t prefix = static_cast<size_t>(token.WildcardAt - token.PatternStart);
    if (!EqualIgnoringCase(id, token.PatternStart, prefix)) return false;

    const char* p = token.WildcardAt;
    const char* q = id + prefix;
    while (*p) {
        if (*p == '*') {
            p = CharNextA(p);
            continue;
        }
        const char* star = FindCharacter(p, '*');
        if (!star) {
            // The last segment is tied to the end of the ID.
            size_t segment = std::strlen(p);
            size_t rest = std::strlen(q);
            return rest >= segment && EqualIgnoringCase(q + rest - segment, p, segment);
        }
        // Segments between stars take their first occurrence from the left; no backtracking.
        size_t segment = static_cast<size_t>(star - p);
        for (;;) {
            q = FindSegmentCandidate(q, *p);
            if (!q) return false;
            if (EqualIgnoringCase(q, p, segment)) break;
            q = CharNextA(q);
        }
        q += segment;
        p = star;
    }
    return true;
}

}  // namespace

IdentifierToken* ParseIdentifierToken(IdentifierToken* token, const char* pattern) {
    token->PatternStart = pattern;
    token->WildcardAt = nullptr;
    token->IsInstancePattern = 0;
    if (*token->PatternStart == '@') {
        token->IsInstancePattern = 1;
        token->PatternStart = CharNextA(token->PatternStart);
    }
    if (*token->PatternStart == '\'') {
        // Quoted: taken literally, a "*" included.
        token->PatternStart = CharNextA(token->PatternStart);
    } else {
        token->WildcardAt = FindCharacter(token->PatternStart, '*');
    }
    return token;
}

IdList SplitMultiSz(char* buffer) {
    size_t count = 0;
    for (const char* id = buffer; *id; id += lstrlenA(id) + 1) ++count;

    constexpr size_t maxSlots = SIZE_MAX / sizeof(char*);
    if (count > maxSlots - 2) return nullptr;
    auto slots = static_cast<char**>(Allocate((count + 2) * sizeof(char*)));
    if (!slots) return nullptr;

    slots[0] = buffer;
    char* id = buffer;
    for (size_t i = 1; i <= count; ++i) {
        slots[i] = id;
        id += lstrlenA(id) + 1;
    }
    slots[count + 1] = nullptr;
    return slots + 1;
}

void FreeIdList(IdList list) {
    if (!list) return;
    if (list[-1]) Release(list[-1]);
    Release(list - 1);
}

IdList GetDeviceIdList(HDEVINFO set, SP_DEVINFO_DATA* element, DWORD property) {
    auto buffer = static_cast<BYTE*>(Allocate(PropertyBufferSize + 2));
    if (!buffer) return nullptr;
    DWORD bufferSize = PropertyBufferSize;
    DWORD type = REG_NONE;
    DWORD required = 0;
    while (!ServicePlatform.SetupDiGetDeviceRegistryPropertyA(set, element, property, &type, buffer, bufferSize,
                                                              &required)) {
        // Read before the free, which may change it.
        const DWORD error = GetLastError();
        Release(buffer);
        if (error != ERROR_INSUFFICIENT_BUFFER || type != REG_MULTI_SZ) return nullptr;
        // A size the allocation cannot hold counts as running out of memory.
        if (required > MAXDWORD - 2) return nullptr;
        buffer = static_cast<BYTE*>(Allocate(size_t{required} + 2));
        if (!buffer) return nullptr;
        bufferSize = required;
    }
    // Ends the data with an empty string even when the device's own data does not.
    buffer[required] = 0;
    buffer[required + 1] = 0;

    IdList list = SplitMultiSz(reinterpret_cast<char*>(buffer));
    if (!list) Release(buffer);
    return list;
}

void ReadDeviceInstanceId(DEVINST node, HMACHINE machine, char (&id)[DeviceInstanceIdSize]) {
    // Cleared first: Wine's stub succeeds and writes nothing.
    id[0] = '\0';
    if (ServicePlatform.CM_Get_Device_ID_ExA(node, id, DeviceInstanceIdSize, 0, machine) != CR_SUCCESS) id[0] = '\0';
}

bool MatchIdentifierList(IdList list, const IdentifierToken* token) {
    if (!list) return false;
    for (; *list; ++list) {
        if (MatchIdentifier(*list, *token)) return true;
    }
    return false;
}

DWORD EnumerateDevices(DeviceCallback callback, void* context, DWORD selector) {
    auto token = static_cast<IdentifierToken*>(Allocate(sizeof(IdentifierToken)));
    if (!token) return 2;
    ParseIdentifierToken(token, selector == CompositeDeviceSelector ? CompositeDeviceHardwareId
                                                                     : RadioInterfaceHardwareId);

    DWORD result = 2;
    HDEVINFO set = ServicePlatform.SetupDiGetClassDevsExA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT,
                                                          nullptr, nullptr, nullptr);
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVINFO_LIST_DETAIL_DATA_A detail{};
        detail.cbSize = sizeof detail;
        if (ServicePlatform.SetupDiGetDeviceInfoListDetailA(set, &detail)) {
            SP_DEVINFO_DATA element{};
            element.cbSize = sizeof element;
            result = 0;
            for (DWORD index = 0; ServicePlatform.SetupDiEnumDeviceInfo(set, index, &element); ++index) {
                // Not used for matching.
                char instanceId[DeviceInstanceIdSize];
                ReadDeviceInstanceId(element.DevInst, detail.RemoteMachineHandle, instanceId);

                IdList hardwareIds = GetDeviceIdList(set, &element, SPDRP_HARDWAREID);
                IdList compatibleIds = GetDeviceIdList(set, &element, SPDRP_COMPATIBLEIDS);
                bool matches = MatchIdentifierList(hardwareIds, token) || MatchIdentifierList(compatibleIds, token);
                FreeIdList(hardwareIds);
                FreeIdList(compatibleIds);

                if (matches) {
                    result = callback(set, &element, index, context);
                    if (result != 0) break;
                }
            }
        }
        ServicePlatform.SetupDiDestroyDeviceInfoList(set);
    }
    Release(token);
    return result;
}
