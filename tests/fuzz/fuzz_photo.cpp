// Fuzzes the decoding of the photo file the driver names: any bytes give no picture or one
// that fits the photo's box, from a file of no side over MaxPhotoSide, and the decoder is
// handed only what trimming may keep.

#include "photo.h"
#include "phototrim.h"
#include "trimmedphoto.h"

#include <cstdlib>

// The decoders warn about every broken file; thousands a second would drown the fuzzer's output.
static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QtMessageHandler previous = qInstallMessageHandler(quiet);
    Q_UNUSED(previous)
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    if (!trimmingFault(pictureBytes(bytes, photoFormat(bytes)), photoFormat(bytes)).isEmpty())
        std::abort();
    const QImage photo = decodePhoto(bytes);
    const QSize stated = photoSize(bytes);
    if (!photo.isNull() && (photo.width() > PhotoBox.width() || photo.height() > PhotoBox.height()
                            || stated.width() > MaxPhotoSide || stated.height() > MaxPhotoSide))
        std::abort();
    return 0;
}
