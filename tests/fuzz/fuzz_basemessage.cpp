// Fuzzes the decoding of what ICC_ReadBaseMsgData writes: the input's first 3920 bytes are the
// record, the next 300 the photo path buffer; shorter input leaves the rest zero, as the
// window's zero-filled buffers would be.

#include "basemessage.h"
#include "visibletext.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

void require(bool property)
{
    if (!property)
        std::abort();
}

bool isLowerHex(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    BaseMessageRecord record = {};
    char photoPath[PhotoPathBufferSize] = {};
    const size_t recordBytes = std::min(size, sizeof record);
    if (recordBytes > 0)
        std::memcpy(record, data, recordBytes);
    if (size > recordBytes)
        std::memcpy(photoPath, data + recordBytes, std::min(size - recordBytes, sizeof photoPath));

    using namespace RecordLayout;
    const HolderFields holder = decodeBaseMessage(record);
    require(holder.name.size() <= Name.room);
    require(holder.sex.size() <= Sex.room);
    require(holder.nation.size() <= Nation.room);
    require(holder.idCode.size() <= IdCode.room);
    require(holder.address.size() <= Address.room);
    require(holder.agency.size() <= Agency.room);
    require(holder.validity.size() <= ValidFrom.room + 1 + ValidTo.room);
    require(holder.birth.year.size() <= 4 && holder.birth.month.size() <= 2 && holder.birth.day.size() <= 2);
    for (const QString &text : {holder.name, holder.sex, holder.nation, holder.idCode, holder.address, holder.agency,
                                holder.validity, holder.birth.year + holder.birth.month + holder.birth.day})
        require(!text.contains(QChar(0)) && showsAsVisibleCardText(text));

    const QString hex = fingerprintText(holder.fingerprint);
    require(hex.size() == 2 * Fingerprint.room && isLowerHex(hex));
    require(QByteArray::fromHex(hex.toLatin1()) == QByteArray(reinterpret_cast<const char *>(record + Fingerprint.offset), Fingerprint.room));

    const QByteArray path = bytesInRoom(photoPath, PhotoPathBufferSize);
    require(path.size() <= PhotoPathBufferSize && !path.contains('\0'));
    return 0;
}
