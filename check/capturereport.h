#pragma once

// What a capture holds and writing it, with what the check says about it.

#include "capture.h"

#include <QByteArray>

// The card as the tool prints and captures it: as read, or redacted once when asked, so that
// what is printed is what is written.
struct ShownCard {
    BaseMessageRecord record{};
    RecordRedaction redaction;
    QByteArray socialText;
    QByteArray photo;         // the photo file's bytes, as read
    bool recordRead = false;  // the base message read returned 0
    bool socialRead = false;
};

enum class CaptureResult { Written, NotWritten, Interrupted };

// Writes what was read into the folder, all of it or nothing, and says which.
CaptureResult writeCapture(CaptureFolder &folder, const ShownCard &card, bool redact);
