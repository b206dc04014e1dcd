// Cleaning the text of "server.txt": whatever bytes the file holds, only printable ASCII other than
// space survives, so line ends, blanks, byte order marks and UTF-16's zero bytes all go.
#pragma once
#include <cstddef>
#include <string>

// Every byte from 0x21 to 0x7E of bytes, in order; the rest dropped wherever they stand.
std::string cleanServerAddress(const void* bytes, size_t size);
