// Fuzzes the decoding of the social security buffer: any 1025 bytes, with or without a NUL,
// give the text before the first NUL or the 1024th byte, shown as visibleCardText promises.

#include "basemessage.h"
#include "visibletext.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char buffer[SocialDataBufferSize] = {};
    if (size > 0)
        std::memcpy(buffer, data, std::min(size, sizeof buffer));
    const QString text = textInRoom(buffer, SocialDataBufferSize - 1);
    const QByteArray beforeNul(buffer, int(qstrnlen(buffer, SocialDataBufferSize - 1)));
    if (text != QString::fromUtf8(beforeNul) || !showsAsVisibleCardText(text))
        std::abort();
    return 0;
}
