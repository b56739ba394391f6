#include "caller_token.h"

#include <array>

namespace {

bool IsWellKnown(HANDLE token, WELL_KNOWN_SID_TYPE type, bool asUser) {
    std::array<BYTE, SECURITY_MAX_SID_SIZE> sid{};
    DWORD sidSize = sid.size();
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &sidSize)) return false;
    if (!asUser) {
        // Counts only an enabled group: an administrator's filtered token holds it for deny only.
        BOOL member = FALSE;
        return CheckTokenMembership(token, sid.data(), &member) && member;
    }
    union {
        TOKEN_USER User;
        BYTE Bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } user;
    DWORD size = 0;
    return GetTokenInformation(token, TokenUser, &user, sizeof user, &size) && EqualSid(user.User.User.Sid, sid.data());
}

}  // namespace

DWORD QueryCallerToken(handle_t binding, CallerTokenFacts* facts) {
    *facts = {};
    RPC_STATUS status = RpcImpersonateClient(binding);
    if (status != RPC_S_OK) return status;
    HANDLE token = nullptr;
    const DWORD opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) ? NO_ERROR : GetLastError();
    // Never run on with the caller's identity, whatever else fails.
    status = RpcRevertToSelf();
    if (opened != NO_ERROR) {
        if (token) CloseHandle(token);
        return opened;
    }
    if (status != RPC_S_OK) {
        CloseHandle(token);
        return status;
    }
    facts->LocalSystem = IsWellKnown(token, WinLocalSystemSid, true);
    facts->Administrator = IsWellKnown(token, WinBuiltinAdministratorsSid, false);
    CloseHandle(token);
    return NO_ERROR;
}
