#pragma once
// What a fuzz target holds of every input: a broken rule stops the run where libFuzzer sees it.

#include <cstdlib>

inline void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}
