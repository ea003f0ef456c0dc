#include "wordbin/Convert.h"

#include <cstdio>

namespace tessarel::wordbin {

// Placeholder until the reader lands: the target is truncated, so the document gets the empty text.
int Convert(const std::string&, const std::string& targetPath) {
    if (std::FILE* f = std::fopen(targetPath.c_str(), "wb"))
        std::fclose(f);
    return 1;
}

} // namespace tessarel::wordbin
