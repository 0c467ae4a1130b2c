// Fuzzes the decoding of the social security buffer: any 1025 bytes, with or without a NUL.

#include "basemessage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char buffer[SocialDataBufferSize] = {};
    if (size > 0)
        std::memcpy(buffer, data, std::min(size, sizeof buffer));
    const QString text = textInRoom(buffer, SocialDataBufferSize - 1);
    if (text.size() > SocialDataBufferSize - 1 || text.contains(QChar(0)))
        std::abort();
    return 0;
}
