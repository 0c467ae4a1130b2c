// libKestrelCardDriver.so.1: the ID card half of the simulated reader.

#include "kestreldriver.h"
#include "simulator.h"

#include <algorithm>

using namespace kestrelsim;

const char *kestrel_simulator_marker()
{
    return "idcardshow simulated reader";
}

extern "C" {

KESTREL_EXPORT int32_t ICC_Reader_Open(const char *)
{
    return currentSetting().scenario == Scenario::NoReader ? OpenFailed : 1;
}

KESTREL_EXPORT int32_t ICC_GetSAMIDToStr(intptr_t, char *samId)
{
    static const char id[] = "05.01-20201201-0000000001-2147483647";
    std::copy(id, id + sizeof id, samId);
    return 0;
}

KESTREL_EXPORT int32_t ICC_Reader_PowerOff(intptr_t, int32_t)
{
    return 0;
}

// Answer to reset of a contactless card; 0 as every other call that succeeds.
KESTREL_EXPORT int32_t ICC_Reader_PowerOn(intptr_t, int32_t, unsigned char *reply)
{
    static const unsigned char atr[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0};
    std::copy(atr, atr + sizeof atr, reply);
    return 0;
}

KESTREL_EXPORT int32_t ICC_Authenticate(intptr_t)
{
    return 0;
}

KESTREL_EXPORT int32_t ICC_ReadBaseMsgData(intptr_t, int32_t, char *photoPath, unsigned char *record)
{
    return readBaseMessage(photoPath, record);
}

KESTREL_EXPORT int32_t ICC_Reader_Close()
{
    return 0;
}
}
