#pragma once

// What the check learns from the child process that runs the vendor's code, as the child's
// reports are decoded (reportdecoder.h) and its output relayed (relay.h).

#include "cardreads.h"
#include "childprotocol.h"
#include "photo.h"

#include <QByteArray>
#include <QStringList>

struct LibraryLoad {
    DriverLibrary library;
    bool loaded;
    bool simulated;
    qint64 nanoseconds;
    QByteArray pathOrReason; // the file loaded, or the loader's reason
};

struct CallReturn {
    DriverCall call;
    int64_t result;
    int error; // errno after the call; the child set it to 0 before
    qint64 nanoseconds;
};

struct IdCardData {
    QByteArray photoPath;
    QByteArray record; // BaseMessageRecordSize bytes
    PhotoFile photo;
    qint64 photoOwner; // the photo file's owner, or -1 when it has none
    bool folderChangedByLibrary;
    QByteArray workingFolder; // the child's, when the photo was opened
};

enum class Stream { Output, Error };

// The step the child reported last.
struct Step {
    enum Kind { Start, Loading, Loaded, Calling, Returned } kind = Start;
    DriverLibrary library = DriverLibrary::Card;
    DriverCall call = DriverCall::Open;
    bool running() const { return kind == Loading || kind == Calling; }
};

// Told of each report as it arrives, in the child's order.
class ChildEvents
{
public:
    virtual ~ChildEvents() = default;
    virtual void stepStarts(const Step &step) = 0;
    virtual void loaded(const LibraryLoad &load) = 0;
    virtual void functionMissing(DriverCall call) = 0;
    virtual void objectsBroughtIn(const QStringList &paths) = 0;
    // Files the call loaded, as a library may load a back end of its own.
    virtual void objectsLoadedBy(DriverCall call, const QStringList &paths) = 0;
    virtual void returned(const CallReturn &call) = 0;
    virtual void descriptorLost(int fd, bool closed, const Step &step) = 0;
    // No file could be opened after the step; the limit of open files at start and now.
    virtual void descriptorsUsedUp(int limitBefore, int limitNow, const Step &step) = 0;
    virtual void idCardRead(const IdCardData &card) = 0;
    virtual void socialRead(const QByteArray &buffer) = 0;
    // The reader's security module, up to SamIdBufferSize bytes: no personal data.
    virtual void samIdRead(const QByteArray &samId) = 0;
    // A call wrote past the end of a buffer; the read stopped there.
    virtual void overran(const Overrun &overrun) = 0;
    // A line the library wrote, cut at MaxRelayedLineBytes, without its newline.
    virtual void libraryWrote(Stream stream, const QByteArray &line) = 0;
    virtual void libraryOutputLeftOut(Stream stream, qint64 bytes) = 0;
};

// What of the library's output is relayed; the rest is counted.
constexpr int MaxRelayedLineBytes = 1000;
constexpr int MaxRelayedLines = 100;
constexpr int MaxRelayedBytes = 16 * 1024;
