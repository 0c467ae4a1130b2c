// Fuzzes the decoding of the photo file the driver names: any bytes give no picture or one
// that fits the photo's box.

#include "photo.h"

#include <cstdlib>

// The decoders warn about every broken file; thousands a second would drown the fuzzer's output.
static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QtMessageHandler previous = qInstallMessageHandler(quiet);
    Q_UNUSED(previous)
    const QImage photo = decodePhoto(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    if (!photo.isNull() && (photo.width() > PhotoBox.width() || photo.height() > PhotoBox.height()))
        std::abort();
    return 0;
}
