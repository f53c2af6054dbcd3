#pragma once

#include <cstdio>
#include <cstdlib>

namespace kor {

/// Reports a broken programming contract and stops the program. Always active,
/// also in release builds: a wrong-kind lookup must never read past a map.
[[noreturn]] inline void assertionFailed(const char* condition, const char* function,
                                         const char* file, int line) {
    std::fprintf(stderr, "Assertion failed: (%s), function %s, file %s, line %d.\n", condition,
                 function, file, line);
    std::fflush(stderr);
    std::abort();
}

} // namespace kor

/// Checks `cond`; on failure reports `text` (the condition as written), the
/// operation, the source file name and the line given, then aborts.
#define KOR_CHECK(cond, text, function, file, line)                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            ::kor::assertionFailed(text, function, file, line);                                    \
        }                                                                                          \
    } while (false)
