#include "linkeddriver.h"

const DriverFunctions &linkedDriver()
{
    static const DriverFunctions functions{&ICC_Reader_Open, &ICC_GetSAMIDToStr, &ICC_Reader_PowerOff, &ICC_Reader_PowerOn,
                                           &ICC_Authenticate, &ICC_ReadBaseMsgData, &ICC_Reader_Close, &iReadCardBas_noPasam};
    return functions;
}
