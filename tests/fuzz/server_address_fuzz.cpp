// libFuzzer target for the address path: the bytes of a "server.txt" cleaned, then split into host
// and port as the client does before resolving; the split must give back the cleaned text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "protocol/address.h"
#include "protocol/messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string address = cleanServerAddress(data, size);
    SplitAddress split;
    if (!splitPresenceAddress(address.c_str(), split)) return 0;
    std::string joined = split.host;
    if (address.find(':') != std::string::npos) {
        joined += ':';
        joined += split.port;
    } else if (std::strcmp(split.port, DefaultPresencePortText) != 0) {
        __builtin_trap();
    }
    if (joined != address) __builtin_trap();
    return 0;
}
