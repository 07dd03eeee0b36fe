#pragma once
// What a fuzz target asserts: a broken promise stops the run where libFuzzer
// sees it and keeps the input, in every build type.

namespace yhz::fuzz {

inline void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

}  // namespace yhz::fuzz
