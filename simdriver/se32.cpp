// libKestrelSE32.so.1: the social security card half of the simulated reader.

#include "kestreldriver.h"
#include "simulator.h"

const char *kestrel_simulator_marker()
{
    return "idcardshow simulated reader";
}

extern "C" KESTREL_EXPORT int64_t iReadCardBas_noPasam(int32_t, int32_t, char *data)
{
    return kestrelsim::readSocialCard(data);
}
