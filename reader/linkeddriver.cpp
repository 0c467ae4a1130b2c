#include "linkeddriver.h"

#include "hookeddriver.h"
#include "lastword.h"

namespace {

// The functions the program links, each call watched for the window's last word.
struct LastWordHooks {
    static const DriverFunctions &driver()
    {
        static const DriverFunctions functions{&ICC_Reader_Open, &ICC_GetSAMIDToStr, &ICC_Reader_PowerOff, &ICC_Reader_PowerOn,
                                               &ICC_Authenticate, &ICC_ReadBaseMsgData, &ICC_Reader_Close, &iReadCardBas_noPasam};
        return functions;
    }
    static void before(DriverCall call) { vendorCallStarts(call); }
    static void after(DriverCall, int64_t) { vendorCallEnded(); }
};

}

const DriverFunctions &linkedDriver()
{
    static const DriverFunctions functions = hookedDriver<LastWordHooks>();
    return functions;
}
