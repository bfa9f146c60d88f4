// Compiled as C++17: the public headers must not need anything later.
#include <karvon/karvon.h>
#include <karvon/version.h>

static_assert(__cplusplus == 201703L, "this file is compiled as C++17");
