#pragma once

// A scriptable stand-in for the reader driver library, for tests only. It has the vendor's
// sonames and C functions, so the window's read slots call it exactly as they call the real
// library; tests script each function's result and bytes and read back every call made.

#include <cstdint>
#include <string>
#include <vector>

#define FAKE_DRIVER_EXPORT __attribute__((visibility("default")))

namespace fakedriver {

struct Call {
    std::string function;
    std::vector<int64_t> args; // the integer arguments, in order; buffers are not listed
    std::string device;        // what ICC_Reader_Open was given
    bool buffersZeroed = true; // every buffer was all zero bytes over its documented size
};

// What each function returns, and the bytes it writes at the start of its buffer (clipped to
// the buffer's documented size; nothing adds a NUL that the script does not hold).
struct Script {
    int32_t open = 1;
    int32_t samId = 0;
    int32_t powerOff = 0;
    int32_t powerOn = 0;
    int32_t authenticate = 0;
    int32_t readBaseMsg = 0;
    int32_t close = 0;
    int64_t social = 0;
    std::string samIdBytes;
    std::string powerOnBytes;
    std::string photoPath;
    std::string record;
    std::string socialText;
    // The function that writes overrunBytes past the end of its buffer (the record, for
    // ICC_ReadBaseMsgData): into the guard that follows it in the read.
    std::string overrunIn;
    int overrunBytes = 0;
};

FAKE_DRIVER_EXPORT Script &script();
FAKE_DRIVER_EXPORT std::vector<Call> &calls();
// Back to a reader that succeeds and writes nothing, with no calls recorded.
FAKE_DRIVER_EXPORT void reset();

// The names of the calls made, in order.
FAKE_DRIVER_EXPORT std::vector<std::string> callNames();

// For the social security half: records a call and checks a buffer.
FAKE_DRIVER_EXPORT void record(Call call);
FAKE_DRIVER_EXPORT bool allZero(const void *buffer, size_t size);
FAKE_DRIVER_EXPORT void writeInto(void *buffer, size_t size, const std::string &bytes);
FAKE_DRIVER_EXPORT void overrunIfScripted(const char *function, void *buffer, size_t size);

}
