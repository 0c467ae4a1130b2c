#include "capturereport.h"

#include "output.h"
#include "text.h"

namespace {

// What a capture will hold, and, when redacting, what became of the holder's data.
struct CaptureContents {
    QVector<CaptureFile> files;
    QStringList notes;
};

QStringList redactionNotes(RecordRedaction redaction, bool recordRead, bool socialRead)
{
    if (socialRead)
        redaction.replaced << Check::tr("social security text");
    QStringList notes;
    if (!redaction.replaced.isEmpty())
        notes << Check::tr("Replaced by fictional values of the same byte lengths: %1.").arg(listed(redaction.replaced));
    if (!redaction.kept.isEmpty())
        notes << Check::tr("Kept as read, as each holds only a valid code, name or date: %1.").arg(listed(redaction.kept));
    if (recordRead)
        notes << Check::tr("Set to zero: the fingerprint data and every byte of the record the program does not read.");
    return notes;
}

QString photoNote(const QByteArray &kept)
{
    return kept.isEmpty() ? Check::tr("Left out: the photo file, which is no card photo the window shows.")
                          : Check::tr("The photo was replaced by a plain grey picture of the same format and pixel size.");
}

CaptureContents captureContents(const ShownCard &card, bool redact)
{
    CaptureContents contents;
    if (card.recordRead)
        contents.files << CaptureFile{QStringLiteral("record.bin"),
                                      QByteArray(reinterpret_cast<const char *>(card.record), sizeof card.record)};
    const QByteArray kept = redact ? placeholderPhoto(card.photo) : card.photo;
    if (!kept.isEmpty())
        contents.files << CaptureFile{capturedPhotoName(kept), kept};
    if (card.socialRead)
        contents.files << CaptureFile{QStringLiteral("social.txt"), card.socialText};
    if (redact) {
        contents.notes = redactionNotes(card.redaction, card.recordRead, card.socialRead);
        if (!card.photo.isEmpty())
            contents.notes << photoNote(kept);
    }
    return contents;
}

QString fileNames(const QVector<CaptureFile> &files)
{
    QStringList names;
    for (const CaptureFile &file : files)
        names << file.name;
    return listed(names);
}

}

CaptureResult writeCapture(CaptureFolder &folder, const ShownCard &card, bool redact)
{
    const CaptureContents contents = captureContents(card, redact);
    if (contents.files.isEmpty()) {
        say(Check::tr("No capture was written: nothing was read from a card; %1 is empty.").arg(folder.path()));
        return CaptureResult::NotWritten;
    }
    const CaptureWrite written = folder.write(contents.files);
    const CaptureResult failed = written.interruption ? CaptureResult::Interrupted : CaptureResult::NotWritten;
    if (!written.leftovers.isEmpty()) {
        say(Check::tr("The capture failed: %1. These files in %2 could not be removed and hold the card's data: %3. Delete them.")
                .arg(written.error, folder.path(), listed(written.leftovers)));
        return failed;
    }
    if (written.folderRemoved) {
        say(Check::tr("No capture was kept: %1. Nothing of the card was left: %2, which the check had made for it, was "
                      "removed.").arg(written.error, folder.path()));
        return failed;
    }
    if (!written.error.isEmpty()) {
        say(Check::tr("No capture was kept: %1. Nothing of the card was left in %2.").arg(written.error, folder.path()));
        return failed;
    }
    say(Check::tr("Capture written to %1: %2. KESTREL_SIM=replay:%1 shows it with the simulated reader.")
            .arg(folder.path(), fileNames(contents.files)));
    for (const QString &note : contents.notes)
        say(note);
    if (!redact)
        say(Check::tr("The capture holds a real person's data: keep it private, delete it when done, and give developers "
                      "only a capture made with --redact."));
    return CaptureResult::Written;
}
