#include "cardreads.h"

namespace {

template<typename Result>
Result observed(const CallObserver &observe, DriverCall call, Result result)
{
    observe(call, result);
    return result;
}

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
    observed(observe, DriverCall::PowerOff, driver.powerOff(0, CardSlot));
    observed(observe, DriverCall::PowerOn, driver.powerOn(0, CardSlot, read.powerOnReply));
    observed(observe, DriverCall::Authenticate, driver.authenticate(0));
    const int32_t result = driver.readBaseMessage(0, 0, read.photoPath, read.record);
    read.read = !endsRead(DriverCall::ReadBaseMessage, observed(observe, DriverCall::ReadBaseMessage, result));
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
    read.read = !endsRead(DriverCall::ReadSocial, observed(observe, DriverCall::ReadSocial, result));
    return read;
}
