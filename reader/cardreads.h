#pragma once

// The two reads as sequences of driver calls, written once for the window, which calls the
// functions it links, and for idcardshow-check, which loads them at run time.

#include "basemessage.h"
#include "kestreldriver.h"

#include <cstddef>
#include <functional>

// The driver library's functions, as the reads call them.
struct DriverFunctions {
    decltype(&ICC_Reader_Open) open;
    decltype(&ICC_GetSAMIDToStr) getSamId;
    decltype(&ICC_Reader_PowerOff) powerOff;
    decltype(&ICC_Reader_PowerOn) powerOn;
    decltype(&ICC_Authenticate) authenticate;
    decltype(&ICC_ReadBaseMsgData) readBaseMessage;
    decltype(&ICC_Reader_Close) close;
    decltype(&iReadCardBas_noPasam) readSocial;
};

enum class DriverCall { Open, GetSamId, PowerOff, PowerOn, Authenticate, ReadBaseMessage, Close, ReadSocial };

// The function's name in the library.
const char *driverCallName(DriverCall call);

// Whether the result ends a read: only the open (1 is open), the base message read and the
// social security read (0 is success) are tested; every other result is ignored.
bool endsRead(DriverCall call, int64_t result);

// The buffers handed to the library, each as large as the library's documentation says.
enum class DriverBuffer { SamId, PowerOnReply, PhotoPath, Record, SocialData };

// The argument's name, as the check prints the call, and the documented size.
const char *driverBufferName(DriverBuffer buffer);
int driverBufferSize(DriverBuffer buffer);

// Room after each buffer, filled with a known pattern and looked at after each call: a
// library that writes past a buffer's end spoils the pattern there, not the read's other data.
constexpr int GuardBytes = 16 * 1024;

struct BufferGuard {
    BufferGuard();
    // How many bytes past the buffer's end were changed, at least: a byte written with the
    // pattern's own value goes unseen. GuardBytes means the whole guard, and maybe beyond it.
    int bytesWrittenInto() const;
    unsigned char bytes[GuardBytes];
};

// A call that wrote past the end of a buffer; the read stopped right after it.
struct Overrun {
    DriverCall call = DriverCall::Open;
    DriverBuffer buffer = DriverBuffer::SamId;
    int beyond = 0; // bytes past the end, at least; 0 for none
    bool happened() const { return beyond > 0; }
    // Written past the guard too: other memory of the process may be overwritten.
    bool pastGuard() const { return beyond >= GuardBytes; }
};

// Told of every call right after it returns.
using CallObserver = std::function<void(DriverCall call, int64_t result)>;

// What one ID card read got from the library; every buffer starts zero-filled, and is
// followed by its guard.
struct IdCardRead {
    bool opened = false;
    bool read = false; // the base message read returned 0
    Overrun overrun;   // a call wrote past a buffer: the read stopped there, the reader left open
    char samId[SamIdBufferSize] = {};
    BufferGuard samIdGuard;
    unsigned char powerOnReply[PowerOnReplySize] = {};
    BufferGuard powerOnReplyGuard;
    char photoPath[PhotoPathBufferSize] = {};
    BufferGuard photoPathGuard;
    BaseMessageRecord record = {};
    BufferGuard recordGuard;
};

// Given what a successful base message read got, while the reader is still open: the library
// may remove its photo file once the reader closes.
using ReadHandler = std::function<void(const IdCardRead &read)>;

// Open, SAM ID, power off and on, authenticate, base message read, power off, close; stops
// after a failed open, and powers off and closes after a failed base message read. Stops
// right after a call that wrote past a buffer, calling nothing more in a library whose memory
// may be spoiled.
IdCardRead readIdCard(const DriverFunctions &driver, const CallObserver &observe, const ReadHandler &useRead);

struct SocialRead {
    bool read = false;
    Overrun overrun;
    char data[SocialDataBufferSize] = {};
    BufferGuard dataGuard;
};

// The one call that reads a social security card's basic data; an overrun fails it.
SocialRead readSocialCard(const DriverFunctions &driver, const CallObserver &observe);

// Each guard starts right at its buffer's end.
static_assert(offsetof(IdCardRead, samIdGuard) == offsetof(IdCardRead, samId) + SamIdBufferSize, "samId guard");
static_assert(offsetof(IdCardRead, powerOnReplyGuard) == offsetof(IdCardRead, powerOnReply) + PowerOnReplySize, "reply guard");
static_assert(offsetof(IdCardRead, photoPathGuard) == offsetof(IdCardRead, photoPath) + PhotoPathBufferSize, "path guard");
static_assert(offsetof(IdCardRead, recordGuard) == offsetof(IdCardRead, record) + BaseMessageRecordSize, "record guard");
static_assert(offsetof(SocialRead, dataGuard) == offsetof(SocialRead, data) + SocialDataBufferSize, "social guard");
