#pragma once

// The reader driver library's functions as this program calls them. The vendor's
// libKestrelCardDriver.so.1 supplies the ICC_ functions, libKestrelSE32.so.1 the social
// security read. No sizes are passed: each buffer must be at least as large as below.

#include <cstdint>

// Sizes of the buffers handed to the library.
constexpr int SamIdBufferSize = 100;
constexpr int PowerOnReplySize = 512;
constexpr int PhotoPathBufferSize = 300;
constexpr int BaseMessageRecordSize = 3920;
constexpr int SocialDataBufferSize = 1025; // 1024 text bytes and a NUL

// Where each part of the base message record starts, and the bytes it may take up to the
// next part.
struct RecordField {
    int offset;
    int room;
};

namespace RecordLayout {
constexpr RecordField Name{4, 32};
constexpr RecordField Sex{36, 8};
constexpr RecordField Nation{44, 20};
constexpr RecordField Birth{64, 12};
constexpr RecordField Address{76, 72};
constexpr RecordField IdCode{148, 20};
constexpr RecordField Agency{168, 32};
constexpr RecordField ValidFrom{200, 12};
constexpr RecordField ValidTo{212, 1120};
constexpr RecordField Fingerprint{1332, 1024};
}

// The card slot that the power calls address.
constexpr int32_t CardSlot = 0x31;

extern "C" {

// 1 means the reader is open.
int32_t ICC_Reader_Open(const char *device);
int32_t ICC_GetSAMIDToStr(intptr_t reader, char *samId);
int32_t ICC_Reader_PowerOff(intptr_t reader, int32_t slot);
int32_t ICC_Reader_PowerOn(intptr_t reader, int32_t slot, unsigned char *reply);
int32_t ICC_Authenticate(intptr_t reader);
// 0 means the record and the photo path were read.
int32_t ICC_ReadBaseMsgData(intptr_t reader, int32_t mode, char *photoPath, unsigned char *record);
int32_t ICC_Reader_Close();

// 0 means the buffer holds the card's basic data as a NUL-terminated text.
int64_t iReadCardBas_noPasam(int32_t selector, int32_t option, char *data);
}
