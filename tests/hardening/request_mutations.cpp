#include "request_mutations.h"

#include <string>

#include "radio_contract.h"

namespace {

// Strings whose bodies are mutated: the two requests, strings the service ignores, and
// one longer than any buffer of the service.
std::vector<std::string> SeedStrings() {
    return {EnableRadioRequest, DisableRadioRequest, "", "x", "EnableZentBtRadio ", std::string(300, 'A')};
}

unsigned Count(const std::string& text) { return static_cast<unsigned>(text.size() + 1); }

constexpr unsigned HugeCounts[] = {0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x40000000, 0x10000001, 0x00100000};

void AddSystematic(std::vector<MutatedBody>& out, const std::string& text) {
    const unsigned n = Count(text);
    const std::string chars = text + '\0';
    for (unsigned delta = 1; delta <= 3; ++delta) {
        out.push_back({"actual count above maximum", StringBody(n, 0, n + delta, chars + std::string(delta, '\0')), true});
        if (n > delta) out.push_back({"actual count above maximum", StringBody(n - delta, 0, n, chars), true});
        // A larger maximum than the string needs is legal NDR: taken or refused, never harmful.
        out.push_back({"maximum above actual count", StringBody(n + delta, 0, n, chars), false});
        if (n > delta) {
            out.push_back({"counts short of the terminator", StringBody(n - delta, 0, n - delta, chars), true});
            out.push_back({"actual count short of the terminator", StringBody(n, 0, n - delta, chars), true});
        }
        out.push_back({"counts beyond the body", StringBody(n + delta, 0, n + delta, chars), true});
    }
    out.push_back({"zero counts", StringBody(0, 0, 0, chars), true});
    out.push_back({"zero counts", StringBody(0, 0, 0, ""), true});
    out.push_back({"zero actual count", StringBody(n, 0, 0, ""), true});
    for (unsigned huge : HugeCounts) {
        out.push_back({"huge counts", StringBody(huge, 0, huge, chars), true});
        out.push_back({"huge actual count", StringBody(n, 0, huge, chars), true});
        out.push_back({"huge maximum count", StringBody(huge, 0, n, chars), false});
    }
    std::string unterminated = chars;
    unterminated.back() = 'X';
    out.push_back({"no terminator", StringBody(n, 0, n, unterminated), true});
    out.push_back({"no terminator", StringBody(n - 1, 0, n - 1, text), true});
    for (unsigned offset : {1u, 2u, n - 1, n, n + 1, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        if (offset == 0) continue;
        out.push_back({"offset not 0", StringBody(n, offset, n, chars), true});
        if (n > offset) out.push_back({"offset not 0", StringBody(n, offset, n - offset, chars.substr(offset)), true});
    }
    const Bytes whole = RequestBody(text);
    for (size_t length = 0; length < whole.size(); ++length)
        out.push_back({"truncated", Bytes(whole.begin(), whole.begin() + length), true});
}

unsigned char RandomByte(std::mt19937& random) { return static_cast<unsigned char>(random() & 0xFF); }

Bytes Garbage(std::mt19937& random, size_t size) {
    Bytes body(size);
    for (unsigned char& b : body) b = RandomByte(random);
    return body;
}

MutatedBody RandomMutation(std::mt19937& random, const std::vector<std::string>& seeds) {
    Bytes body = RequestBody(seeds[random() % seeds.size()]);
    switch (random() % 4) {
    case 0: {  // a few bytes anywhere changed
        const unsigned changes = 1 + random() % 4;
        for (unsigned i = 0; i < changes; ++i) body[random() % body.size()] = RandomByte(random);
        return {"random bytes changed", body, false};
    }
    case 1: {  // one count or the offset replaced
        const size_t field = (random() % 3) * 4;
        const unsigned value = random() % 2 ? random() : random() % 64;
        for (int i = 0; i < 4; ++i) body[field + i] = static_cast<unsigned char>(value >> (8 * i));
        return {"random count or offset", body, false};
    }
    case 2: {  // bytes after the string
        const Bytes tail = Garbage(random, 1 + random() % 64);
        body.insert(body.end(), tail.begin(), tail.end());
        return {"bytes after the string", body, false};
    }
    default:
        return {"random body", Garbage(random, random() % 257), false};
    }
}

}  // namespace

std::vector<MutatedBody> MutatedRequestBodies(std::mt19937& random, size_t randomCount) {
    const std::vector<std::string> seeds = SeedStrings();
    std::vector<MutatedBody> bodies;
    for (const std::string& seed : seeds) AddSystematic(bodies, seed);
    // A body the service may take as a request would switch the radio; those that no
    // well-formed string can be read from stay, since they must be refused anyway.
    std::erase_if(bodies, [](const MutatedBody& m) { return !m.MustBeRefused && NamesARequest(m.Body); });
    while (randomCount > 0) {
        MutatedBody mutated = RandomMutation(random, seeds);
        if (NamesARequest(mutated.Body)) continue;  // a real request, not a malformed one
        bodies.push_back(std::move(mutated));
        --randomCount;
    }
    return bodies;
}

std::vector<Bytes> RandomBodies(std::mt19937& random, size_t count) {
    const std::vector<std::string> seeds = SeedStrings();
    std::vector<Bytes> bodies;
    for (size_t i = 0; i < count; ++i)
        bodies.push_back(i % 2 ? RequestBody(seeds[random() % seeds.size()]) : Garbage(random, random() % 129));
    return bodies;
}
