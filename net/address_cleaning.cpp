// Address cleaning: no syntax is checked here; the connect step splits off the port and resolves.
#include "net/address_cleaning.h"

std::string cleanServerAddress(const void* bytes, size_t size) {
    std::string address;
    const unsigned char* at = static_cast<const unsigned char*>(bytes);
    if (!at) return address;
    for (size_t i = 0; i < size; ++i) {
        if (at[i] >= 0x21 && at[i] <= 0x7E) address.push_back(char(at[i]));
    }
    return address;
}
