#pragma once

// The simulated reader behind the stand-in driver libraries. The scenario comes from the
// environment variable KESTREL_SIM, read at every call so that a test can change it:
//   unset or "card"   a reader with a fictional card on it
//   "no-reader"       the open fails
//   "no-card"         the open succeeds, the base message read fails
//   "no-social-card"  the social security read fails, the ID card reads as usual
//   "slow"            as "card", but each read blocks about 1.5 s as a real reader does
//   "slow:SECONDS"    as "card", but each read blocks SECONDS (1 to 600), as a slow reader may
//   "replay:DIR"      returns DIR/record.bin, a copy of DIR/photo.* and DIR/social.txt as they
//                     are, when each is a regular file directly in DIR (replay.h)

#include <cstdint>
#include <string>

#define KESTREL_EXPORT __attribute__((visibility("default")))

// Defined in both libraries, and in none of the vendor's: idcardshow-check asks for it to tell
// the simulated reader from the vendor's driver; the program never calls it. A function, not
// data: two exported data objects of one name in one process are an ODR violation to
// AddressSanitizer.
extern "C" KESTREL_EXPORT const char *kestrel_simulator_marker();

namespace kestrelsim {

enum class Scenario { Card, NoReader, NoCard, NoSocialCard, Slow, Replay };

struct Setting {
    Scenario scenario;
    std::string replayFolder;
    int readMilliseconds = 0; // how long each read blocks
};

// Results the simulated library reports.
constexpr int32_t OpenFailed = -1;
constexpr int32_t NoCardFound = -2;
constexpr int64_t NoSocialCardFound = -1;

// The scenario in force; an unknown name is reported on standard error, once by each library,
// and reads as Card.
Setting currentSetting();

// Fills the 3920-byte record and the 300-byte photo path buffer; returns the library's result.
int32_t readBaseMessage(char *photoPath, unsigned char *record);

// Fills the 1025-byte social security buffer; returns the library's result.
int64_t readSocialCard(char *data);

}
