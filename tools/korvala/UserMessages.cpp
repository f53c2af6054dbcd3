#include "tools/korvala/UserMessages.h"

#include <cstdio>
#include <cstdlib>

namespace korvala::cli {

std::string asWritten(double value) {
    char text[64];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof(text), "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) {
            break;
        }
    }
    return text;
}

void warnAboutBlockSize(int block) {
    if (block == 512) {
        return;
    }
    std::fprintf(stderr,
                 "korvala: warning: --block %d: the tempo tracker assumes 512-sample blocks, so "
                 "tempo values will be off%s\n",
                 block,
                 block < 16 ? "; blocks this small also run about as slow as real time or slower"
                            : "");
}

} // namespace korvala::cli
