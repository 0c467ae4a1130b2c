#pragma once

// The two reads as sequences of driver calls, written once for the window, which calls the
// functions it links, and for idcardshow-check, which loads them at run time.

#include "basemessage.h"
#include "kestreldriver.h"

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

// Told of every call right after it returns.
using CallObserver = std::function<void(DriverCall call, int64_t result)>;

// What one ID card read got from the library; every buffer starts zero-filled.
struct IdCardRead {
    bool opened = false;
    bool read = false; // the base message read returned 0
    char samId[SamIdBufferSize] = {};
    unsigned char powerOnReply[PowerOnReplySize] = {};
    char photoPath[PhotoPathBufferSize] = {};
    BaseMessageRecord record = {};
};

// Given what a successful base message read got, while the reader is still open: the library
// may remove its photo file once the reader closes.
using ReadHandler = std::function<void(const IdCardRead &read)>;

// Open, SAM ID, power off and on, authenticate, base message read, power off, close; stops
// after a failed open, and powers off and closes after a failed base message read.
IdCardRead readIdCard(const DriverFunctions &driver, const CallObserver &observe, const ReadHandler &useRead);

struct SocialRead {
    bool read = false;
    char data[SocialDataBufferSize] = {};
};

// The one call that reads a social security card's basic data.
SocialRead readSocialCard(const DriverFunctions &driver, const CallObserver &observe);
