#include "cardreads.h"

namespace {

template<typename Result>
Result observed(const CallObserver &observe, DriverCall call, Result result)
{
    observe(call, result);
    return result;
}

// The pattern's byte at each place: every value occurs, so no single value a library fills
// with hides more than one byte in 256.
unsigned char guardByte(int at)
{
    return static_cast<unsigned char>(at * 167 + 91);
}

// Records an overrun of the buffer by the call; true when there was one.
bool overran(Overrun &overrun, DriverCall call, DriverBuffer buffer, const BufferGuard &guard)
{
    const int beyond = guard.bytesWrittenInto();
    if (beyond == 0 || overrun.happened())
        return beyond > 0;
    overrun.call = call;
    overrun.buffer = buffer;
    overrun.beyond = beyond;
    return true;
}

}

BufferGuard::BufferGuard()
{
    for (int at = 0; at < GuardBytes; ++at)
        bytes[at] = guardByte(at);
}

int BufferGuard::bytesWrittenInto() const
{
    for (int at = GuardBytes - 1; at >= 0; --at)
        if (bytes[at] != guardByte(at))
            return at + 1;
    return 0;
}

const char *driverBufferName(DriverBuffer buffer)
{
    switch (buffer) {
    case DriverBuffer::SamId: return "samId";
    case DriverBuffer::PowerOnReply: return "reply";
    case DriverBuffer::PhotoPath: return "photoPath";
    case DriverBuffer::Record: return "record";
    case DriverBuffer::SocialData: return "data";
    }
    return "";
}

int driverBufferSize(DriverBuffer buffer)
{
    switch (buffer) {
    case DriverBuffer::SamId: return SamIdBufferSize;
    case DriverBuffer::PowerOnReply: return PowerOnReplySize;
    case DriverBuffer::PhotoPath: return PhotoPathBufferSize;
    case DriverBuffer::Record: return BaseMessageRecordSize;
    case DriverBuffer::SocialData: return SocialDataBufferSize;
    }
    return 0;
}

const char *driverCallName(DriverCall call)
{
    switch (call) {
    case DriverCall::Open: return "ICC_Reader_Open";
    case DriverCall::GetSamId: return "ICC_GetSAMIDToStr";
    case DriverCall::PowerOff: return "ICC_Reader_PowerOff";
    case DriverCall::PowerOn: return "ICC_Reader_PowerOn";
    case DriverCall::Authenticate: return "ICC_Authenticate";
    case DriverCall::ReadBaseMessage: return "ICC_ReadBaseMsgData";
    case DriverCall::Close: return "ICC_Reader_Close";
    case DriverCall::ReadSocial: return "iReadCardBas_noPasam";
    }
    return "";
}

bool endsRead(DriverCall call, int64_t result)
{
    switch (call) {
    case DriverCall::Open: return result != 1;
    case DriverCall::ReadBaseMessage:
    case DriverCall::ReadSocial: return result != 0;
    default: return false;
    }
}

IdCardRead readIdCard(const DriverFunctions &driver, const CallObserver &observe, const ReadHandler &useRead)
{
    IdCardRead read;
    read.opened = !endsRead(DriverCall::Open, observed(observe, DriverCall::Open, driver.open("")));
    if (!read.opened)
        return read;
    observed(observe, DriverCall::GetSamId, driver.getSamId(0, read.samId));
    if (overran(read.overrun, DriverCall::GetSamId, DriverBuffer::SamId, read.samIdGuard))
        return read;
    observed(observe, DriverCall::PowerOff, driver.powerOff(0, CardSlot));
    observed(observe, DriverCall::PowerOn, driver.powerOn(0, CardSlot, read.powerOnReply));
    if (overran(read.overrun, DriverCall::PowerOn, DriverBuffer::PowerOnReply, read.powerOnReplyGuard))
        return read;
    observed(observe, DriverCall::Authenticate, driver.authenticate(0));
    const int32_t result = driver.readBaseMessage(0, 0, read.photoPath, read.record);
    const bool succeeded = !endsRead(DriverCall::ReadBaseMessage, observed(observe, DriverCall::ReadBaseMessage, result));
    // Both buffers are looked at, and the first overrun found is kept.
    const bool pathOverran = overran(read.overrun, DriverCall::ReadBaseMessage, DriverBuffer::PhotoPath, read.photoPathGuard);
    if (overran(read.overrun, DriverCall::ReadBaseMessage, DriverBuffer::Record, read.recordGuard) || pathOverran)
        return read;
    read.read = succeeded;
    if (read.read)
        useRead(read);
    observed(observe, DriverCall::PowerOff, driver.powerOff(0, CardSlot));
    observed(observe, DriverCall::Close, driver.close());
    return read;
}

SocialRead readSocialCard(const DriverFunctions &driver, const CallObserver &observe)
{
    SocialRead read;
    const int64_t result = driver.readSocial(1, 100, read.data);
    const bool succeeded = !endsRead(DriverCall::ReadSocial, observed(observe, DriverCall::ReadSocial, result));
    // Looked at whatever the result: a failed call may have written past the buffer too.
    const bool overranData = overran(read.overrun, DriverCall::ReadSocial, DriverBuffer::SocialData, read.dataGuard);
    read.read = succeeded && !overranData;
    return read;
}
