// idcardshow-check: tells an integrator bringing up a reader machine which step fails. It
// loads the driver libraries as the program would find them, makes the window's two reads
// step by step, says what each call returned and means and what was read, and can capture
// what the driver returned for replay with the simulated reader.

#include "basemessage.h"
#include "capture.h"
#include "cardreads.h"
#include "driverloader.h"
#include "nocoredumps.h"
#include "photo.h"
#include "text.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstring>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace {

// One exit code for each stage that can fail; the first failing stage decides.
enum Exit { Everything = 0, Libraries = 1, Open = 2, BaseMessage = 3, Photo = 4, Social = 5, Capture = 6, Usage = 64 };

struct Options {
    bool showPersonalData = false;
    bool redact = false;
    QString captureFolder;
};

bool isControl(uint c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || disguisesText(c);
}

// The text with each control character (C0, DEL, C1) and each character that would hide or
// reorder the line (format characters such as zero-width spaces and bidirectional overrides,
// right-to-left letters and digits) written as a visible escape, \x1b or \u202e, so that what
// the driver or a card holds can neither move the cursor, retitle the terminal, hide, nor
// reorder a line.
QString escapedControls(const QString &text)
{
    QString out;
    for (int at = 0; at < text.size();) {
        const CodePoint c = codePointAt(text, at);
        if (!isControl(c.value))
            out.append(text.constData() + at, c.length);
        else if (c.value < 0x100)
            out += QStringLiteral("\\x%1").arg(c.value, 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(c.value, 4, 16, QLatin1Char('0'));
        at += c.length;
    }
    return out;
}

// Every line the tool prints passes here. Always UTF-8, whatever locale the terminal's C
// library knows.
void say(const QString &line)
{
    const QByteArray bytes = (escapedControls(line) + '\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

int characterCount(const QString &text)
{
    int count = 0;
    for (int at = 0; at < text.size(); at += codePointAt(text, at).length)
        ++count;
    return count;
}

// A star for each character but `keepStart` leading and `keepEnd` trailing ones, a surrogate
// pair being one character; separators stay.
QString masked(const QString &text, int keepStart, int keepEnd)
{
    const int count = characterCount(text);
    QString out;
    for (int at = 0, index = 0; at < text.size(); ++index) {
        const CodePoint c = codePointAt(text, at);
        const bool separator = c.value < 0x80 && QStringLiteral(" |,;:-/.").contains(QChar(c.value));
        if (separator || index < keepStart || index >= count - keepEnd)
            out.append(text.constData() + at, c.length);
        else
            out += QLatin1Char('*');
        at += c.length;
    }
    return out;
}

QString callArguments(DriverCall call)
{
    switch (call) {
    case DriverCall::Open: return "(\"\")";
    case DriverCall::GetSamId: return "(0, samId)";
    case DriverCall::PowerOff: return "(0, 0x31)";
    case DriverCall::PowerOn: return "(0, 0x31, reply)";
    case DriverCall::Authenticate: return "(0)";
    case DriverCall::ReadBaseMessage: return "(0, 0, photoPath, record)";
    case DriverCall::Close: return "()";
    case DriverCall::ReadSocial: return "(1, 100, data)";
    }
    return {};
}

QString meaning(DriverCall call, int64_t result)
{
    switch (call) {
    case DriverCall::Open:
        return result == 1 ? Check::tr("the reader is open")
                           : Check::tr("the reader did not open: is it connected, may this user use it, is the vendor's driver set up?");
    case DriverCall::ReadBaseMessage:
        return result == 0 ? Check::tr("the ID card was read") : Check::tr("no ID card was read: is one on the reader?");
    case DriverCall::ReadSocial:
        return result == 0 ? Check::tr("the social security card was read")
                           : Check::tr("no social security card was read: is one in the reader?");
    default:
        return result == 0 ? Check::tr("success; the window does not check this result")
                           : Check::tr("not 0, which may report a problem; the window does not check this result and goes on");
    }
}

void sayCall(DriverCall call, int64_t result)
{
    say(Check::tr("  %1%2 = %3: %4").arg(driverCallName(call), callArguments(call)).arg(result).arg(meaning(call, result)));
}

void sayHolder(const HolderFields &holder, bool showPersonalData)
{
    const auto personal = [showPersonalData](const QString &text, int keepStart, int keepEnd) {
        return showPersonalData ? text : masked(text, keepStart, keepEnd);
    };
    say(Check::tr("  Name: %1").arg(personal(holder.name, 1, 0)));
    say(Check::tr("  Sex: %1").arg(personal(holder.sex, 0, 0)));
    say(Check::tr("  Ethnic group: %1").arg(personal(holder.nation, 0, 0)));
    say(Check::tr("  Date of birth: %1").arg(personal(holder.birth.year + holder.birth.month + holder.birth.day, 0, 0)));
    say(Check::tr("  Address: %1").arg(personal(holder.address, 3, 0)));
    say(Check::tr("  Citizen identity number: %1").arg(personal(holder.idCode, 4, 4)));
    say(Check::tr("  Issuing authority: %1").arg(personal(holder.agency, 3, 0)));
    say(Check::tr("  Period of validity: %1").arg(holder.validity));
    say(Check::tr("  Fingerprint data: %1 bytes").arg(holder.fingerprint.size()));
}

// A size as a person reads it: bytes below 1 KiB, else KiB or MiB to three figures.
QString sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return Check::tr("%1 bytes").arg(bytes);
    const bool mebibytes = bytes >= 1024 * 1024;
    return QStringLiteral("%1 %2").arg(QString::number(bytes / (mebibytes ? 1048576.0 : 1024.0), 'g', 3),
                                       mebibytes ? QStringLiteral("MiB") : QStringLiteral("KiB"));
}

// Says what the photo file holds; true when the window would show it.
bool sayPhoto(const QByteArray &path, const QByteArray &bytes)
{
    say(Check::tr("  Photo file: %1").arg(path.isEmpty() ? Check::tr("(the library named none)") : QFile::decodeName(path)));
    if (bytes.isEmpty()) {
        say(Check::tr("    not read: missing, unreadable, not a regular file, empty, or over %1").arg(sizeText(MaxPhotoFileBytes)));
        return false;
    }
    const QByteArray format = photoFormat(bytes);
    if (decodePhoto(bytes).isNull()) {
        say(Check::tr("    %1 that the window does not show: it shows BMP, PNG and JPEG pictures of at most %2 pixels a side")
                .arg(sizeText(bytes.size())).arg(MaxPhotoSide));
        return false;
    }
    const QSize size = photoSize(bytes);
    say(Check::tr("    %1, %2 × %3 pixels, %4").arg(QString::fromLatin1(format.toUpper())).arg(size.width()).arg(size.height()).arg(sizeText(bytes.size())));
    return true;
}

QString listed(const QStringList &items)
{
    return items.join(Check::tr(", ", "between the items of a list"));
}

void sayLibraryProblems(const LoadedDriver &driver)
{
    for (const QString &problem : driver.missingLibraries + driver.missingFunctions)
        say(QStringLiteral("  ") + problem);
    if (driver.missingLibraries.isEmpty())
        return;
    say(Check::tr("  The loader looked in these folders, in this order: %1").arg(listed(librarySearchFolders())));
    say(Check::tr("  and, before the system folders, in ldconfig's cache of the folders named in /etc/ld.so.conf and "
                  "the *.conf files of /etc/ld.so.conf.d (run `sudo ldconfig` after adding a library): %1")
            .arg(listed(ldconfigFolders())));
}

void saySimulated(const QStringList &simulated)
{
    if (!simulated.isEmpty())
        say(Check::tr("  %1: the project's simulated reader (package idcardshow-simdriver), not the vendor's driver; "
                      "it shows a fictional card. On a reader machine, remove it with "
                      "`sudo apt-get remove idcardshow-simdriver` and install the vendor's libraries.")
                .arg(listed(simulated)));
}

// Tells a device the user may not open from a reader that is not there.
void sayOpenAdvice()
{
    const uid_t uid = geteuid();
    const passwd *user = getpwuid(uid);
    const QString name = user ? QString::fromLocal8Bit(user->pw_name) : QString::number(uid);
    if (uid == 0) {
        say(Check::tr("  The check ran as root, so the device's permissions are not the cause: check the cable and "
                      "that the vendor's driver is installed as the vendor says."));
        return;
    }
    say(Check::tr("  The check ran as user %1 (uid %2). Run it as the user who runs the window, without sudo, then "
                  "once with sudo: if only root opens the reader, that user may not use the device (`id` shows the "
                  "user's groups, `ls -l` on the vendor's device node its owner and mode); if root cannot open it "
                  "either, check the cable and the vendor's driver.").arg(name).arg(uid));
}

// The card as the tool prints and captures it: as read, or redacted once when asked, so that
// what is printed is what is written.
struct ShownCard {
    BaseMessageRecord record{};
    RecordRedaction redaction;
    QByteArray socialText;
};

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

CaptureContents captureContents(const Options &options, const ShownCard &card, bool recordRead, const QByteArray &photo,
                                bool socialRead)
{
    CaptureContents contents;
    if (recordRead)
        contents.files << CaptureFile{QStringLiteral("record.bin"),
                                      QByteArray(reinterpret_cast<const char *>(card.record), sizeof card.record)};
    const QByteArray kept = options.redact ? placeholderPhoto(photo) : photo;
    if (!kept.isEmpty())
        contents.files << CaptureFile{capturedPhotoName(kept), kept};
    if (socialRead)
        contents.files << CaptureFile{QStringLiteral("social.txt"), card.socialText};
    if (options.redact) {
        contents.notes = redactionNotes(card.redaction, recordRead, socialRead);
        if (!photo.isEmpty())
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

// Writes what was read into the folder, all of it or nothing, and says which.
Exit writeCapture(CaptureFolder &folder, const Options &options, const CaptureContents &contents)
{
    if (contents.files.isEmpty()) {
        say(Check::tr("No capture was written: nothing was read from a card; %1 is empty.").arg(folder.path()));
        return Capture;
    }
    const CaptureWrite written = folder.write(contents.files);
    if (!written.leftovers.isEmpty()) {
        say(Check::tr("The capture failed: %1. These files in %2 could not be removed and hold the card's data: %3. Delete them.")
                .arg(written.error, folder.path(), listed(written.leftovers)));
        return Capture;
    }
    if (!written.error.isEmpty()) {
        say(Check::tr("No capture was kept: %1. Nothing of the card was left in %2.").arg(written.error, folder.path()));
        return Capture;
    }
    say(Check::tr("Capture written to %1: %2. KESTREL_SIM=replay:%1 shows it with the simulated reader.")
            .arg(folder.path(), fileNames(contents.files)));
    for (const QString &note : contents.notes)
        say(note);
    if (!options.redact)
        say(Check::tr("The capture holds a real person's data: keep it private, delete it when done, and give developers "
                      "only a capture made with --redact."));
    return Everything;
}

QString stageName(Exit stage)
{
    switch (stage) {
    case Libraries: return Check::tr("loading the driver libraries");
    case Open: return Check::tr("opening the reader");
    case BaseMessage: return Check::tr("reading the ID card");
    case Photo: return Check::tr("showing the photo");
    case Social: return Check::tr("reading the social security card");
    default: return Check::tr("writing the capture");
    }
}

Exit finish(Exit result)
{
    if (result == Everything)
        say(Check::tr("Result: everything was read (exit code 0)."));
    else
        say(Check::tr("Result: %1 failed (exit code %2).").arg(stageName(result)).arg(int(result)));
    return result;
}

void takeRecord(ShownCard &shown, const IdCardRead &card, const Options &options)
{
    std::memcpy(shown.record, card.record, sizeof shown.record);
    if (options.redact)
        shown.redaction = redactRecord(shown.record);
}

Exit check(const Options &options)
{
    std::unique_ptr<CaptureFolder> folder;
    if (!options.captureFolder.isEmpty()) {
        folder.reset(new CaptureFolder(options.captureFolder));
        if (!folder->refusal().isEmpty()) {
            say(Check::tr("No capture: %1.").arg(folder->refusal()));
            return Capture;
        }
    }
    say(Check::tr("Driver libraries:"));
    const LoadedDriver driver = loadDriver();
    for (const QString &line : driver.loaded)
        say(QStringLiteral("  ") + line);
    saySimulated(driver.simulated);
    if (!driver.complete()) {
        sayLibraryProblems(driver);
        return finish(Libraries);
    }

    Exit result = Everything;
    const auto fail = [&result](Exit stage) {
        if (result == Everything)
            result = stage;
    };
    say(Check::tr("ID card read:"));
    ShownCard shown;
    QByteArray photo;
    bool photoShown = false;
    const IdCardRead read = readIdCard(driver.functions, sayCall, [&](const IdCardRead &card) {
        takeRecord(shown, card, options);
        sayHolder(decodeBaseMessage(shown.record), options.showPersonalData);
        const QByteArray path = bytesInRoom(card.photoPath, PhotoPathBufferSize);
        photo = readPhotoFile(path);
        photoShown = sayPhoto(options.redact ? redactedText(path) : path, photo);
    });
    if (!read.opened)
        sayOpenAdvice();
    fail(!read.opened ? Open : !read.read ? BaseMessage : !photoShown ? Photo : Everything);

    say(Check::tr("Social security card read:"));
    const SocialRead social = readSocialCard(driver.functions, sayCall);
    if (social.read) {
        const QByteArray bytes = bytesInRoom(social.data, SocialDataBufferSize - 1);
        shown.socialText = options.redact ? redactedText(bytes) : bytes;
        const QString text = QString::fromUtf8(shown.socialText);
        say(Check::tr("  Text: %1").arg(options.showPersonalData ? text : masked(text, 0, 0)));
    }
    fail(social.read ? Everything : Social);

    if (folder)
        fail(writeCapture(*folder, options, captureContents(options, shown, read.read, photo, social.read)));
    return finish(result);
}

// Why the arguments cannot be used, or nothing.
QString usageError(QCommandLineParser &parser, const QCommandLineOption &capture, const QCommandLineOption &redact)
{
    if (!parser.parse(QCoreApplication::arguments()))
        return parser.errorText();
    if (!parser.positionalArguments().isEmpty())
        return Check::tr("Unexpected argument: %1.").arg(parser.positionalArguments().join(QStringLiteral(" ")));
    if (parser.isSet(redact) && !parser.isSet(capture))
        return Check::tr("--redact works only with --capture FOLDER.");
    if (parser.isSet(capture) && parser.value(capture).isEmpty())
        return Check::tr("--capture needs the name of a folder.");
    return {};
}

void installTranslation(QCoreApplication &app)
{
    static QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("idcardshow-check"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        app.installTranslator(&translator);
}

}

int main(int argc, char *argv[])
{
    disableCoreDumps();
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("idcardshow-check"));
    app.setApplicationVersion(QStringLiteral(IDCARDSHOW_VERSION));
    installTranslation(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(Check::tr(
        "Checks a card reader machine: loads the reader's driver libraries, reads the ID card and the social "
        "security card as idcardshow does, and says what each step returned.\n\n"
        "Exit codes: 0 everything was read; 1 a driver library did not load or lacks a function; 2 the reader "
        "did not open; 3 no ID card was read; 4 the photo cannot be shown; 5 no social security card was read; "
        "6 the capture was refused or not written; 64 wrong options or arguments."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, Check::tr("Show the options and exit codes."));
    parser.addOption(help);
    parser.addVersionOption();
    const QCommandLineOption showPersonal(QStringLiteral("show-personal-data"), Check::tr("Show the card's data unmasked."));
    const QCommandLineOption capture(QStringLiteral("capture"), Check::tr("Also write what the driver returned into FOLDER (new or empty), for replay with KESTREL_SIM=replay:FOLDER."), Check::tr("FOLDER"));
    const QCommandLineOption redact(QStringLiteral("redact"), Check::tr("With --capture: replace the holder's personal data with fictional values."));
    parser.addOptions({showPersonal, capture, redact});
    const QString error = usageError(parser, capture, redact);
    if (!error.isEmpty()) {
        const QString text = error + '\n' + Check::tr("Run `idcardshow-check --help` for the options.") + '\n';
        std::fputs(text.toUtf8().constData(), stderr);
        return Usage;
    }
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    Options options;
    options.showPersonalData = parser.isSet(showPersonal);
    options.redact = parser.isSet(redact);
    options.captureFolder = parser.value(capture);
    return check(options);
}
