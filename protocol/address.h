// Addresses as users write them: cleaning the text of "server.txt", splitting "host:port", and telling
// a dotted IPv4 address from a name that needs a name server.
#pragma once
#include <cstddef>
#include <string>

// Cleaning: whatever bytes the file holds, only printable ASCII other than space survives, so line
// ends, blanks, byte order marks and UTF-16's zero bytes all go.
// Every byte from 0x21 to 0x7E of bytes, in order; the rest dropped wherever they stand.
std::string cleanServerAddress(const void* bytes, size_t size);

// An address split into the texts handed to name resolution.
constexpr size_t AddressHostCapacity = 256;  // a DNS name is at most 253 characters
constexpr size_t AddressPortCapacity = 32;
struct SplitAddress {
    char host[AddressHostCapacity];
    char port[AddressPortCapacity];
};

// Splits at the last ':': the host before it, the port after it (possibly empty). Without a ':' the
// whole text is the host and the port is defaultPort. False, with out untouched, when either part
// does not fit its buffer (no such name would resolve anyway).
bool splitAddress(const char* address, const char* defaultPort, SplitAddress& out);

// The presence server's address: splitAddress with the default presence port.
bool splitPresenceAddress(const char* address, SplitAddress& out);

// True for a dotted IPv4 address of four decimal parts from 0 to 255 without leading zeros, which
// the resolver reads as it stands; anything else may need a name server, which can take seconds.
bool isNumericIpv4Host(const char* host);
