#include "fakedriver.h"

#include <algorithm>
#include <cstring>

namespace fakedriver {

Script &script()
{
    static Script current;
    return current;
}

std::vector<Call> &calls()
{
    static std::vector<Call> log;
    return log;
}

void reset()
{
    script() = Script();
    calls().clear();
}

std::vector<std::string> callNames()
{
    std::vector<std::string> names;
    for (const Call &call : calls())
        names.push_back(call.function);
    return names;
}

void record(Call call)
{
    calls().push_back(std::move(call));
}

bool allZero(const void *buffer, size_t size)
{
    const auto *bytes = static_cast<const unsigned char *>(buffer);
    return std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0; });
}

void writeInto(void *buffer, size_t size, const std::string &bytes)
{
    std::memcpy(buffer, bytes.data(), std::min(size, bytes.size()));
}

void overrunIfScripted(const char *function, void *buffer, size_t size)
{
    if (script().overrunIn == function)
        std::memset(static_cast<char *>(buffer) + size, 0xa5, size_t(script().overrunBytes));
}

}

using namespace fakedriver;

extern "C" {

FAKE_DRIVER_EXPORT int32_t ICC_Reader_Open(const char *device)
{
    record({"ICC_Reader_Open", {}, device ? device : "(null)", true});
    return script().open;
}

FAKE_DRIVER_EXPORT int32_t ICC_GetSAMIDToStr(intptr_t reader, char *samId)
{
    record({"ICC_GetSAMIDToStr", {reader}, {}, allZero(samId, 100)});
    writeInto(samId, 100, script().samIdBytes);
    overrunIfScripted("ICC_GetSAMIDToStr", samId, 100);
    return script().samId;
}

FAKE_DRIVER_EXPORT int32_t ICC_Reader_PowerOff(intptr_t reader, int32_t slot)
{
    record({"ICC_Reader_PowerOff", {reader, slot}, {}, true});
    return script().powerOff;
}

FAKE_DRIVER_EXPORT int32_t ICC_Reader_PowerOn(intptr_t reader, int32_t slot, unsigned char *reply)
{
    record({"ICC_Reader_PowerOn", {reader, slot}, {}, allZero(reply, 512)});
    writeInto(reply, 512, script().powerOnBytes);
    overrunIfScripted("ICC_Reader_PowerOn", reply, 512);
    return script().powerOn;
}

FAKE_DRIVER_EXPORT int32_t ICC_Authenticate(intptr_t reader)
{
    record({"ICC_Authenticate", {reader}, {}, true});
    return script().authenticate;
}

FAKE_DRIVER_EXPORT int32_t ICC_ReadBaseMsgData(intptr_t reader, int32_t mode, char *photoPath, unsigned char *baseMessage)
{
    record({"ICC_ReadBaseMsgData", {reader, mode}, {}, allZero(photoPath, 300) && allZero(baseMessage, 3920)});
    writeInto(photoPath, 300, script().photoPath);
    writeInto(baseMessage, 3920, script().record);
    overrunIfScripted("ICC_ReadBaseMsgData", baseMessage, 3920);
    return script().readBaseMsg;
}

FAKE_DRIVER_EXPORT int32_t ICC_Reader_Close()
{
    record({"ICC_Reader_Close", {}, {}, true});
    return script().close;
}
}
