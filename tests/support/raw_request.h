// Request bodies of a test's own making, sent for any opnum of RadioControlInterface
// below the NDR engine: the runtime only frames them, and the server's stub meets the
// bytes exactly as given.
#pragma once

#include <windows.h>
#include <rpc.h>

#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// One call on the binding with this body; RPC_S_OK, the fault status the server
// answered with, or the runtime's own failure (e.g. 1722 when nothing listens).
RPC_STATUS SendRawRequest(handle_t binding, unsigned short opnum, const Bytes& body);

// The NDR form of a conformant string as the client stub sends it: maximum count,
// offset, actual count (32 bits each, little-endian), then the characters.
Bytes StringBody(unsigned maxCount, unsigned offset, unsigned actualCount, const std::string& characters);
// The well-formed body of a request string (counts = length + 1, offset 0, the zero).
Bytes RequestBody(const std::string& request);

// Whether the service could take the body for a real switch: the characters after the
// three counts, up to a zero inside the body, are one of the request strings in any case.
bool NamesARequest(const Bytes& body);

std::string Hex(const Bytes& body, size_t limit = 64);
