#pragma once

// The channel over which the child process that runs the vendor's code reports to the check.
// A frame is a type byte, an 8-byte token, a 4-byte length and a payload of fields: 8-byte
// integers and byte strings of a 4-byte length, all little-endian. The parent answers each
// frame it took with the token the next frame must carry, given in memory the two share rather
// than on the channel, so that a frame the library writes into the channel blindly is told from
// the child's, and a thread of the library that reads the channel takes no answer away. What arrives is untrusted, since the
// vendor's code shares the child with the writer: the parent bounds every frame and field, and
// anything outside them, or out of the read's order, makes the report garbled.

#include <QByteArray>
#include <semaphore.h>

enum class Message : quint8 {
    Loading = 1,      // library
    Loaded,           // library, loaded, simulated, nanoseconds, path or the loader's reason
    MissingFunctions, // a bit for each DriverCall whose function was not found
    Objects,          // count, then the path of each file the libraries' loading brought in
    Calling,          // call
    Returned,         // call, result, errno, nanoseconds
    Descriptor,       // standard descriptor, closed (1) or another file put in its place (0)
    IdCard,           // photo path, record, photo problem, errno, owner, working folder changed, working folder, photo bytes
    Social,           // the social security buffer
    Overrun,          // call, buffer, bytes written past its end at least: the read stopped
    Descriptors,      // the limit of open files at start and now: none could be opened after the last step
    SamId,            // the SAM ID buffer up to its NUL, once the ID card read closed the reader
    Finished,         // nothing: both reads are done
};

using Token = quint64;
constexpr int TokenBytes = 8;
constexpr int HeaderBytes = 1 + TokenBytes + 4;

// Bounds of the fields: a path or a loader's reason, and the files the loading brought in.
constexpr int MaxTextBytes = 4096;
constexpr int MaxObjects = 64;
constexpr qint64 MaxNanoseconds = qint64(1) << 62;

// The two driver libraries, in the order they load.
enum class DriverLibrary { Card, Social };
const char *sonameOf(DriverLibrary library);

// What the parent and the child tell each other outside the channel, in memory both share: the
// vendor's code can take the channel away, and any exit status is one a library can give too.
struct ChildNotes {
    // Posted by the parent when it took a frame in, with the token for the next one.
    sem_t answered;
    volatile Token nextToken;
    // The channel was closed, or another file put in its place: nothing more could be reported.
    volatile int channelBroken;
    // A copy of the child that the library forked returned into the check's code: the message
    // it was about to send (0 for none), and the call or library in it.
    volatile int forkedCopyMessage;
    volatile int forkedCopyStep;
};

// A token for the child's next frame, one a library cannot guess.
Token freshToken();

// The child's exit status when it could no longer write to the channel; the parent believes
// it only with ChildNotes::channelBroken set.
constexpr int ChannelBrokenStatus = 122;

// The largest frame: the photo file's bytes and the rest of its message.
constexpr int MaxFrameBytes = 1024 * 1024 + 64 * 1024;
// Far more frames than the loading and both reads send.
constexpr int MaxFrames = 256;

// A frame's payload, built field by field.
class Payload
{
public:
    Payload &integer(qint64 value);
    Payload &bytes(const QByteArray &value);
    QByteArray frame(Message type, Token token) const;

private:
    QByteArray m_fields;
};

// Reads a payload's fields in order. Once a field is missing or outside its bounds, every
// further field reads as 0 or empty and complete() is false.
class PayloadReader
{
public:
    explicit PayloadReader(const QByteArray &payload) : m_payload(payload) {}
    qint64 integer(qint64 lowest, qint64 highest);
    QByteArray bytes(int longest);
    // Every field read was within its bounds, and nothing is left over.
    bool complete() const { return m_valid && m_at == m_payload.size(); }

private:
    const char *take(int count);

    QByteArray m_payload;
    int m_at = 0;
    bool m_valid = true;
};

struct Frame {
    Message type;
    Token token;
    QByteArray payload;
};

// Splits the bytes arriving on the channel into frames.
class FrameReader
{
public:
    // Takes the bytes that arrived; false from the first sign that they are no report: an
    // unknown type, a frame over MaxFrameBytes, more than MaxFrames frames.
    bool feed(const char *bytes, int count);
    // The next complete frame, if one has arrived.
    bool next(Frame &frame);
    // No sign yet that the bytes are no report.
    bool valid() const { return m_valid; }
    // Part of a frame arrived, and the rest has not.
    bool holdsPartOfFrame() const { return !m_buffer.isEmpty(); }

private:
    QByteArray m_buffer;
    int m_frames = 0;
    bool m_valid = true;
};
