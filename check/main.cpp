// idcardshow-check: tells an integrator bringing up a reader machine which step fails. It
// loads the driver libraries as the program would find them, makes the window's two reads
// step by step, says what each call returned and means and what was read, and can capture
// what the driver returned for replay with the simulated reader.

#include "basemessage.h"
#include "capture.h"
#include "cardreads.h"
#include "driverloader.h"
#include "photo.h"
#include "text.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstring>
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

// Always UTF-8, whatever locale the terminal's C library knows.
void say(const QString &line)
{
    const QByteArray bytes = (line + '\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// Stars for all but `keepStart` leading and `keepEnd` trailing characters; separators stay.
QString masked(const QString &text, int keepStart, int keepEnd)
{
    QString out = text;
    for (int i = keepStart; i < out.size() - keepEnd; ++i) {
        if (!QStringLiteral(" |,;:-/.").contains(out[i]))
            out[i] = '*';
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
    say(Check::tr("  Issuing authority: %1").arg(holder.agency));
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

void sayLibraryProblems(const LoadedDriver &driver)
{
    for (const QString &problem : driver.missingLibraries + driver.missingFunctions)
        say(QStringLiteral("  ") + problem);
    if (driver.missingLibraries.isEmpty())
        return;
    say(Check::tr("  The loader looked in these folders, in this order: %1").arg(librarySearchFolders().join(QStringLiteral(", "))));
    say(Check::tr("  and, before the system folders, in ldconfig's cache of the folders named in /etc/ld.so.conf and "
                  "the *.conf files of /etc/ld.so.conf.d (run `sudo ldconfig` after adding a library): %1")
            .arg(ldconfigFolders().join(QStringLiteral(", "))));
}

void saySimulated(const QStringList &simulated)
{
    if (!simulated.isEmpty())
        say(Check::tr("  %1: the project's simulated reader (package idcardshow-simdriver), not the vendor's driver; "
                      "it shows a fictional card. On a reader machine, remove it with "
                      "`sudo apt-get remove idcardshow-simdriver` and install the vendor's libraries.")
                .arg(simulated.join(QStringLiteral(", "))));
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

bool writeCapture(const Options &options, const IdCardRead &read, QByteArray photo, const SocialRead &social)
{
    bool written = true;
    if (read.read) {
        BaseMessageRecord record;
        std::memcpy(record, read.record, sizeof record);
        if (options.redact)
            redactRecord(record);
        written &= writeCaptureFile(options.captureFolder, "record.bin", QByteArray(reinterpret_cast<const char *>(record), sizeof record));
    }
    if (options.redact && !photo.isEmpty())
        photo = placeholderPhoto(photo);
    if (!photo.isEmpty())
        written &= writeCaptureFile(options.captureFolder, capturedPhotoName(photo), photo);
    if (social.read) {
        const QByteArray text = bytesInRoom(social.data, SocialDataBufferSize - 1);
        written &= writeCaptureFile(options.captureFolder, "social.txt", options.redact ? redactedText(text) : text);
    }
    return written;
}

void sayCaptured(const Options &options)
{
    say(Check::tr("Capture written to %1; KESTREL_SIM=replay:%1 shows it with the simulated reader.").arg(options.captureFolder));
    if (options.redact)
        say(Check::tr("Name, date of birth, address, citizen number, issuing authority, photo, fingerprint data and the "
                      "social security text were replaced by fictional values of the same lengths."));
    else
        say(Check::tr("The capture holds a real person's data: keep it private, delete it when done, and give developers "
                      "only a capture made with --redact."));
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

Exit check(const Options &options)
{
    if (!options.captureFolder.isEmpty()) {
        const QString refusal = prepareCaptureFolder(options.captureFolder);
        if (!refusal.isEmpty()) {
            say(Check::tr("No capture: %1.").arg(refusal));
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
    QByteArray photo;
    bool photoShown = false;
    const IdCardRead read = readIdCard(driver.functions, sayCall, [&](const IdCardRead &card) {
        sayHolder(decodeBaseMessage(card.record), options.showPersonalData);
        const QByteArray path = bytesInRoom(card.photoPath, PhotoPathBufferSize);
        photo = readPhotoFile(path);
        photoShown = sayPhoto(path, photo);
    });
    if (!read.opened)
        sayOpenAdvice();
    fail(!read.opened ? Open : !read.read ? BaseMessage : !photoShown ? Photo : Everything);

    say(Check::tr("Social security card read:"));
    const SocialRead social = readSocialCard(driver.functions, sayCall);
    if (social.read) {
        const QString text = textInRoom(social.data, SocialDataBufferSize - 1);
        say(Check::tr("  Text: %1").arg(options.showPersonalData ? text : masked(text, 0, 0)));
    }
    fail(social.read ? Everything : Social);

    if (!options.captureFolder.isEmpty()) {
        if (writeCapture(options, read, photo, social))
            sayCaptured(options);
        else
            fail(Capture);
    }
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
