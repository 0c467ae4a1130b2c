#include "fakedriver.h"

using namespace fakedriver;

extern "C" FAKE_DRIVER_EXPORT int64_t iReadCardBas_noPasam(int32_t selector, int32_t option, char *data)
{
    record({"iReadCardBas_noPasam", {selector, option}, {}, allZero(data, 1025)});
    writeInto(data, 1025, script().socialText);
    overrunIfScripted("iReadCardBas_noPasam", data, 1025);
    return script().social;
}
