// Whether the maker has published a newer release: the first bytes of "version.txt", read as a
// decimal number the way atoi reads it, compared with this build's own release number.
#pragma once

constexpr int BuiltInReleaseNumber = 1;

// Leading whitespace, an optional sign, then decimal digits up to the first other character; 0
// without digits. Numbers beyond int's range saturate instead of overflowing.
int parseReleaseNumber(const char* text);

// An answer of status 200 whose body starts with a number greater than the built-in one.
bool isNewerRelease(long status, const char* body);
