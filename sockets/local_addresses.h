// The IPv4 addresses of this machine's interfaces, for the server to print the addresses friends can
// join it at (server/join_addresses.h chooses and orders them). getifaddrs on Linux
// (local_addresses_posix.cpp), GetAdaptersAddresses on Windows (local_addresses_windows.cpp).
#pragma once
#include <cstdint>

// Up to capacity addresses, in host byte order, of interfaces that are up; how many were written, 0
// when the system would not say.
int listLocalIpv4Addresses(uint32_t* out, int capacity);
