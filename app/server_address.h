// "server.txt" beside the executable: the presence server an installation points at. Read afresh at
// every press of "Play", so a changed file takes effect at the next one.
#pragma once
#include <string>

constexpr const char* ServerAddressFile = "server.txt";

// The file's cleaned content; empty when the file is missing, unreadable or holds nothing usable,
// and the caller then uses the built-in default address.
std::string readServerAddress();
