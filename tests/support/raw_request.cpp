#include "raw_request.h"

#include <rpcdcep.h>

#include <cstring>

#include "radio_control.h"
#include "radio_control_stubs.h"

RPC_STATUS SendRawRequest(handle_t binding, unsigned short opnum, const Bytes& body) {
    RPC_MESSAGE message{};
    message.Handle = binding;
    message.DataRepresentation = NDR_LOCAL_DATA_REPRESENTATION;
    message.ProcNum = opnum;
    message.RpcInterfaceInformation = const_cast<RPC_CLIENT_INTERFACE*>(&RadioControlClientInterface);
    message.BufferLength = static_cast<unsigned>(body.size());
    RPC_STATUS status = I_RpcGetBuffer(&message);
    if (status != RPC_S_OK) return status;
    void* const sent = message.Buffer;
    if (!body.empty()) std::memcpy(message.Buffer, body.data(), body.size());
    status = I_RpcSendReceive(&message);
    // Wine's runtime replaces the buffer with the fault's body but frees the one sent
    // only when the call succeeded.
    if (status != RPC_S_OK && message.Buffer != sent) I_RpcFree(sent);
    I_RpcFreeBuffer(&message);
    return status;
}

namespace {

void AppendLittleEndian(Bytes& body, unsigned value) {
    for (int shift = 0; shift < 32; shift += 8) body.push_back(static_cast<unsigned char>(value >> shift));
}

char Lower(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); }

bool EqualIgnoringCase(const std::string& text, const char* request) {
    if (text.size() != std::strlen(request)) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (Lower(text[i]) != Lower(request[i])) return false;
    return true;
}

}  // namespace

Bytes StringBody(unsigned maxCount, unsigned offset, unsigned actualCount, const std::string& characters) {
    Bytes body;
    AppendLittleEndian(body, maxCount);
    AppendLittleEndian(body, offset);
    AppendLittleEndian(body, actualCount);
    body.insert(body.end(), characters.begin(), characters.end());
    return body;
}

Bytes RequestBody(const std::string& request) {
    const unsigned count = static_cast<unsigned>(request.size() + 1);
    return StringBody(count, 0, count, request + '\0');
}

bool NamesARequest(const Bytes& body) {
    constexpr size_t counts = 12;
    if (body.size() <= counts) return false;
    std::string text;
    for (size_t i = counts; i < body.size(); ++i) {
        if (body[i] == 0)
            return EqualIgnoringCase(text, EnableRadioRequest) || EqualIgnoringCase(text, DisableRadioRequest);
        text += static_cast<char>(body[i]);
    }
    return false;  // no zero: the string cannot end inside the body
}

std::string Hex(const Bytes& body, size_t limit) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < body.size() && i < limit; ++i) {
        if (i) hex += ' ';
        hex += digits[body[i] >> 4];
        hex += digits[body[i] & 15];
    }
    if (body.size() > limit) hex += " ... (" + std::to_string(body.size()) + " bytes)";
    return hex;
}
