#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep; a broken one is a finding, like a crash.
inline void require(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}
