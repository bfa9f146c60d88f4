#pragma once
// The version of the karvon library. The build reads the three numbers from
// this file, so they are stated once.

#define KARVON_VERSION_MAJOR 1
#define KARVON_VERSION_MINOR 1
#define KARVON_VERSION_PATCH 0

namespace karvon {

// The version of the library the program runs with, as "MAJOR.MINOR.PATCH";
// compare it with the macros above to tell it from the headers' version.
const char* version() noexcept;

}  // namespace karvon
