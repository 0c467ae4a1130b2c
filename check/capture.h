#pragma once

// Captures: what the driver returned, written in the simulated reader's replay layout
// (record.bin, photo.<ext>, social.txt), so that KESTREL_SIM=replay:FOLDER shows the same card.

#include "basemessage.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

struct CaptureFile {
    QString name;
    QByteArray bytes;
};

// A temporary folder left by a run of the check that was stopped while writing a capture.
struct UnfinishedCapture {
    QString path;
    QStringList files; // what it held; none when it was stopped before writing one
};

struct CaptureWrite {
    QString error;          // why the capture failed; empty when it was written
    QStringList leftovers;  // what a failed capture could not remove, relative to the folder
    int interruption = 0;   // the signal that stopped the write, or 0
    bool folderRemoved = false; // the folder this run made, removed with what was written
};

// The folder a capture goes into, opened once and without following a link; every file is
// made relative to that open folder, so swapping the path for a link changes nothing.
class CaptureFolder
{
public:
    // Creates the folder with mode 0700, or takes an existing empty one this user owns and
    // makes it 0700; refusal() says why it did not. An unfinished capture left inside by a
    // run that was killed (a .capture-* folder of regular files) is removed first.
    explicit CaptureFolder(const QByteArray &path);
    ~CaptureFolder();
    CaptureFolder(const CaptureFolder &) = delete;
    CaptureFolder &operator=(const CaptureFolder &) = delete;

    QString path() const { return m_path; }
    QString refusal() const { return m_refusal; }
    // The unfinished captures it removed.
    QVector<UnfinishedCapture> unfinishedRemoved() const { return m_unfinishedRemoved; }
    // The folder's path when this run created it, else empty.
    QByteArray made() const { return m_made ? m_bytes : QByteArray(); }

    // Writes each file whole (mode 0600, synced) into a private temporary folder inside, then
    // moves them into the folder. On any failure removes every one of them and the temporary
    // folder, and says why. An ending signal meanwhile (endingsignals.h) stops it as a failure
    // does, and removes the folder too if this run made it.
    CaptureWrite write(const QVector<CaptureFile> &files);

private:
    CaptureWrite writeStaged(const QVector<CaptureFile> &files);
    void removeUnfinishedCaptures();

    QByteArray m_bytes;
    QString m_path;
    QString m_refusal;
    QVector<UnfinishedCapture> m_unfinishedRemoved;
    bool m_made = false;
    int m_fd = -1;
};

// The file name a captured photo takes: photo.bmp, photo.png, photo.jpg, or photo.bin.
QString capturedPhotoName(const QByteArray &photo);

// What redaction did with the fields it carries over.
struct RecordRedaction {
    QStringList replaced; // by fictional values of the same byte lengths
    QStringList kept;     // as read: they hold only a value such a field may hold
};

// Fictional values of the same byte lengths for the holder's name, date of birth, address,
// citizen number (with a valid check character) and issuing office; sex, ethnic group and
// validity dates as they are when they hold a valid code, name or date, else fictional too;
// every other byte, the fingerprint data included, zero. What the program reads keeps its
// layout, and nothing it does not read can carry personal data along.
RecordRedaction redactRecord(BaseMessageRecord &record);

// The text with each character replaced by another, fictional one of the same byte length; ASCII
// punctuation, spaces and control characters stay, so separators keep their places. Bytes
// that are not UTF-8 become bytes invalid in the same way: a GBK double-byte character
// another one, a stray continuation byte 0x80, any other stray byte 0xff.
QByteArray redactedText(const QByteArray &text);

// A plain grey picture of the photo's format and pixel size; empty when it is no card photo.
QByteArray placeholderPhoto(const QByteArray &photo);
