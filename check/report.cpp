#include "report.h"

#include "basemessage.h"
#include "capturereport.h"
#include "driverloader.h"
#include "endingsignals.h"
#include "localeencoding.h"
#include "output.h"
#include "readerdevices.h"
#include "signalname.h"
#include "supervisor.h"
#include "text.h"

#include <QFile>
#include <QRegularExpression>
#include <QVector>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

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

QString callText(DriverCall call)
{
    return QLatin1String(driverCallName(call)) + callArguments(call);
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

// Where the vendor's code was when something happened, to end a sentence.
QString stepText(const Step &step)
{
    const QString library = QLatin1String(sonameOf(step.library));
    switch (step.kind) {
    case Step::Start: return Check::tr("before the libraries were loaded");
    case Step::Loading: return Check::tr("while loading %1").arg(library);
    case Step::Loaded: return Check::tr("after loading %1").arg(library);
    case Step::Calling: return Check::tr("during %1").arg(callText(step.call));
    case Step::Returned: return Check::tr("after %1 returned").arg(callText(step.call));
    }
    return {};
}

// The child looks at the descriptors right after each step: the step did what it finds.
Step stepDuring(const Step &step)
{
    Step during = step;
    during.kind = step.kind == Step::Loaded ? Step::Loading : step.kind == Step::Returned ? Step::Calling : step.kind;
    return during;
}

QString descriptorName(int fd)
{
    switch (fd) {
    case 0: return Check::tr("standard input (descriptor 0)");
    case 1: return Check::tr("standard output (descriptor 1)");
    default: return Check::tr("standard error (descriptor 2)");
    }
}

void sayCall(const CallReturn &call)
{
    const bool failed = call.call == DriverCall::Open ? call.result != 1 : call.result != 0;
    const QString line = failed && call.error != 0
        ? Check::tr("  %1 = %2: %3 (%4; %5)").arg(callText(call.call)).arg(call.result).arg(meaning(call.call, call.result),
                                                                                          durationText(call.nanoseconds), errnoText(call.error))
        : Check::tr("  %1 = %2: %3 (%4)").arg(callText(call.call)).arg(call.result).arg(meaning(call.call, call.result),
                                                                                    durationText(call.nanoseconds));
    say(line);
}

QString maskedOrNot(bool show, const QString &text, int keepStart, int keepEnd)
{
    return show ? text : masked(text, keepStart, keepEnd);
}

void sayHolder(const HolderFields &holder, bool show)
{
    say(Check::tr("  Name: %1").arg(maskedOrNot(show, holder.name, 1, 0)));
    say(Check::tr("  Sex: %1").arg(maskedOrNot(show, holder.sex, 0, 0)));
    say(Check::tr("  Ethnic group: %1").arg(maskedOrNot(show, holder.nation, 0, 0)));
    say(Check::tr("  Date of birth: %1").arg(maskedOrNot(show, holder.birth.year + holder.birth.month + holder.birth.day, 0, 0)));
    say(Check::tr("  Address: %1").arg(maskedOrNot(show, holder.address, 3, 0)));
    say(Check::tr("  Citizen identity number: %1").arg(maskedOrNot(show, holder.idCode, 4, 4)));
    say(Check::tr("  Issuing authority: %1").arg(maskedOrNot(show, holder.agency, 3, 0)));
    say(Check::tr("  Period of validity: %1").arg(holder.validity));
    say(Check::tr("  Fingerprint data: %1 bytes").arg(holder.fingerprint.size()));
}

// Why the photo file gave no bytes.
QString photoProblem(const IdCardData &card)
{
    switch (card.photo.problem) {
    case PhotoFile::OpenFailed: return Check::tr("    cannot be opened: %1").arg(errnoText(card.photo.error));
    case PhotoFile::NotRegularFile: return Check::tr("    not a regular file, but a folder, a FIFO or a device");
    case PhotoFile::TooLarge: return Check::tr("    larger than %1, which no card photo is").arg(sizeText(MaxPhotoFileBytes));
    case PhotoFile::ReadFailed:
        return card.photo.error ? Check::tr("    cannot be read: %1").arg(errnoText(card.photo.error)) : Check::tr("    empty");
    default: return {};
    }
}

// A relative path is resolved against the working folder: true when the window would find the
// file only if started there.
bool sayRelativePath(const IdCardData &card)
{
    if (card.photoPath.isEmpty() || card.photoPath.startsWith('/'))
        return false;
    const QString folder = fromLocaleEncoding(card.workingFolder);
    if (card.folderChangedByLibrary) {
        say(Check::tr("    a relative path, resolved against the working folder %1, which the library chose").arg(folder));
        return false;
    }
    say(Check::tr("    a relative path, resolved against the working folder %1: the window finds the file only when "
                  "started in the folder the library means, and a window started from the desktop menu starts in the "
                  "user's home folder. Ask the vendor how to make the library name an absolute path.").arg(folder));
    return true;
}

// Says what the photo file holds; true when the window would show it.
bool sayPhoto(const IdCardData &card, const QString &shownPath)
{
    say(Check::tr("  Photo file: %1").arg(shownPath.isEmpty() ? Check::tr("(the library named none)") : shownPath));
    const bool onlyFromThere = sayRelativePath(card);
    if (card.photo.problem != PhotoFile::None) {
        say(photoProblem(card));
        if (card.photo.error == EACCES && card.photoOwner == 0 && geteuid() != 0)
            say(Check::tr("    It belongs to root, perhaps left by a run with sudo: `sudo chown` gives it back to the "
                          "window's user."));
        return false;
    }
    const QByteArray &bytes = card.photo.bytes;
    if (decodePhoto(bytes).isNull()) {
        say(Check::tr("    %1 that the window does not show: it shows BMP, PNG and JPEG pictures of at most %2 pixels a side")
                .arg(sizeText(bytes.size())).arg(MaxPhotoSide));
        return false;
    }
    const QSize size = photoSize(bytes);
    say(Check::tr("    %1, %2 × %3 pixels, %4").arg(QString::fromLatin1(photoFormat(bytes).toUpper())).arg(size.width())
            .arg(size.height()).arg(sizeText(bytes.size())));
    return !onlyFromThere;
}

void saySimulated(const QStringList &simulated)
{
    if (!simulated.isEmpty())
        say(Check::tr("  %1: the project's simulated reader (package idcardshow-simdriver), not the vendor's driver; "
                      "it shows a fictional card. On a reader machine, remove it with "
                      "`sudo apt-get remove idcardshow-simdriver` and install the vendor's libraries.")
                .arg(listed(simulated)));
}

void sayFoldersSearched()
{
    say(Check::tr("  The loader looked in these folders, in this order: %1").arg(listed(librarySearchFolders())));
    say(Check::tr("  and, before the system folders, in ldconfig's cache of the folders named in /etc/ld.so.conf and "
                  "the *.conf files of /etc/ld.so.conf.d (run `sudo ldconfig` after adding a library): %1")
            .arg(listed(ldconfigFolders())));
}

void sayLibraryPathOnly(const QStringList &paths)
{
    for (const QString &path : paths)
        say(Check::tr("  %1 is found only through LD_LIBRARY_PATH: a window started from the desktop menu has no "
                      "LD_LIBRARY_PATH and will not find it.").arg(path));
    say(Check::tr("  Install the vendor's libraries, and every library they need, in /usr/local/lib or in a folder "
                  "named in a .conf file in /etc/ld.so.conf.d/, run `sudo ldconfig`, and see what a window started "
                  "from the menu sees with `env -u LD_LIBRARY_PATH idcardshow-check`."));
}

void sayVendorReport()
{
    say(Check::tr("  Send the vendor this output (the card's data in it stays masked), the backtrace, and the "
                  "library's files with their versions."));
}

void sayOverrun(const Overrun &overrun)
{
    const QString call = callText(overrun.call);
    const QString buffer = QLatin1String(driverBufferName(overrun.buffer));
    const int size = driverBufferSize(overrun.buffer);
    say(overrun.pastGuard()
            ? Check::tr("  %1 wrote more than %2 bytes past the end of %3, whose documented size is %4 bytes, and so over "
                        "other memory of the process: the check stopped the read there.").arg(call).arg(GuardBytes - 1)
                  .arg(buffer).arg(size)
            : Check::tr("  %1 wrote at least %2 bytes past the end of %3, whose documented size is %4 bytes: the check "
                        "stopped the read there. The window treats this read as failed.").arg(call).arg(overrun.beyond)
                  .arg(buffer).arg(size));
}

// What the check stopped and ended that the library left: processes, and a forked copy.
void sayLeftBehind(const ChildEnd &end)
{
    if (end.forkedCopy)
        say(Check::tr("  The vendor's library forked the process %1, and the copy went on into the check's code as if it "
                      "were the process itself: the check ended the copy. In the window such a copy would go on as a "
                      "second window.").arg(stepText(end.forkedCopyStep)));
    QStringList processes;
    for (const QByteArray &process : end.leftRunning)
        processes << fromLocaleEncoding(process);
    if (!processes.isEmpty())
        say(Check::tr("  The vendor's library left processes running, which the check stopped: %1. Left running, they "
                      "may hold the reader, so that the next read cannot open it.").arg(listed(processes)));
}

// Whether the signal's default action dumps core, as a crash's does; the others merely end.
bool dumpsCore(int signal)
{
    return isCrashSignal(signal) || signal == SIGQUIT;
}

void sayEnd(const ChildEnd &end, int timeoutSeconds)
{
    const QString where = stepText(end.step);
    switch (end.how) {
    case ChildEnd::Finished: return;
    case ChildEnd::NotStarted:
        say(Check::tr("  The check could not start the process that runs the vendor's library: %1.").arg(errnoText(end.code)));
        return;
    case ChildEnd::Crashed:
        if (!dumpsCore(end.code)) {
            say(Check::tr("  The vendor's library ended the process %1 with %2, which is no crash: its own alarm, a "
                          "write to a closed pipe, a resource limit or a signal it sent itself.").arg(where, signalText(end.code)));
            break;
        }
        say(Check::tr("  The process that runs the vendor's library crashed %1: %2.").arg(where, signalText(end.code)));
        if (end.traced)
            say(Check::tr("  The library had made the check its debugger (PTRACE_TRACEME), so the crash stopped the "
                          "process instead of ending it: the check ended it."));
        say(Check::tr("  To see where it crashed, run the check under gdb, which stops at the crash (core files are off "
                      "on purpose, as they would hold the card's data): "
                      "gdb -batch -ex 'set follow-fork-mode child' -ex run -ex bt --args idcardshow-check"));
        break;
    case ChildEnd::Exited:
        say(Check::tr("  The vendor's library ended the process %1, with exit status %2: it called exit or _exit, maybe "
                      "from a crash handler of its own, and the read did not finish.").arg(where).arg(end.code));
        say(Check::tr("  To see where it ended the process: gdb -batch -ex 'set follow-fork-mode child' "
                      "-ex 'catch syscall exit_group' -ex run -ex bt --args idcardshow-check"));
        break;
    case ChildEnd::Hung:
        if (end.step.kind == Step::Loading)
            say(Check::tr("  Loading %1 did not finish within %2 s: the check stopped it.")
                    .arg(QLatin1String(sonameOf(end.step.library))).arg(timeoutSeconds));
        else if (end.step.kind == Step::Calling)
            say(Check::tr("  %1 did not return within %2 s: the check stopped it.").arg(callText(end.step.call)).arg(timeoutSeconds));
        else
            say(Check::tr("  The process that runs the vendor's library reported nothing for %1 s %2: the check stopped it.")
                    .arg(timeoutSeconds).arg(where));
        if (end.stillRunning)
            say(Check::tr("  The process did not end when killed: it waits inside the kernel, as in a USB transfer that "
                          "never ends, and goes only when the device lets go. Unplug the reader."));
        say(Check::tr("  A reader that is only slow needs a longer --timeout. To see where the library waits, run "
                      "`idcardshow-check --timeout 600` and meanwhile, in another terminal, "
                      "`sudo gdb -batch -p $(pgrep -n -f idcardshow-check) -ex 'thread apply all bt'`."));
        break;
    case ChildEnd::Silent:
        say(Check::tr("  The process that runs the vendor's library reported nothing for %1 s %2, outside any call of the "
                      "library: a thread of the library took the check's channel or holds the process up. The check "
                      "stopped it.").arg(timeoutSeconds).arg(where));
        break;
    case ChildEnd::Stopped:
        say(Check::tr("  The vendor's library stopped the process %1 with %2, and nothing would continue it: the check "
                      "ended it.").arg(where, signalText(end.code)));
        break;
    case ChildEnd::Garbled:
        say(Check::tr("  The reports of the process that runs the vendor's library became garbled %1: the library wrote "
                      "into the check's channel. The check stopped it.").arg(where));
        break;
    case ChildEnd::SignalledCheck:
        say(Check::tr("  The vendor's library sent the check %2 %1: the check stopped the library's processes.")
                .arg(where, signalText(end.code)));
        break;
    case ChildEnd::Interrupted:
        return;
    case ChildEnd::ChannelBroken:
        say(Check::tr("  The vendor's library closed the check's channel %1, or put another file in its place; the check "
                      "could not follow the read further.").arg(where));
        break;
    }
    sayVendorReport();
}

// What went wrong, as the result line names it.
QString failure(Exit stage)
{
    switch (stage) {
    case Libraries: return Check::tr("loading the driver libraries failed");
    case Open: return Check::tr("opening the reader failed");
    case BaseMessage: return Check::tr("reading the ID card failed");
    case Photo: return Check::tr("showing the photo failed");
    case Social: return Check::tr("reading the social security card failed");
    case LibraryBroke: return Check::tr("the vendor's library crashed or ended abnormally");
    case NoReturn: return Check::tr("the vendor's library did not return in time");
    case LibraryPathOnly: return Check::tr("a driver library is found only through LD_LIBRARY_PATH");
    default: return Check::tr("writing the capture failed");
    }
}

// The pieces of a text between the separators that masking keeps.
QStringList piecesBetweenSeparators(const QString &text)
{
    QStringList pieces{QString()};
    for (const QChar c : text) {
        if (QStringLiteral(" |,;:-/.").contains(c))
            pieces << QString();
        else
            pieces.last() += c;
    }
    return pieces;
}

// Personal values of the card and how they are shown masked, to mask them where the library
// printed them too.
class PersonalValues
{
public:
    void add(const QString &value, int keepStart, int keepEnd)
    {
        // A single character (a sex or an ethnic group) would mask every occurrence of it.
        if (value.size() >= 2)
            m_values.append({value, masked(value, keepStart, keepEnd)});
        std::sort(m_values.begin(), m_values.end(), [](const Value &a, const Value &b) { return a.text.size() > b.text.size(); });
    }
    // The value's bytes as a hexadecimal dump shows them: either case, with or without a
    // separator between the bytes.
    void addBytes(const QByteArray &bytes)
    {
        if (bytes.size() < 2)
            return;
        QStringList digits;
        for (const char byte : bytes)
            digits << QStringLiteral("%1").arg(uint(uchar(byte)), 2, 16, QLatin1Char('0'));
        m_dumps.append(QRegularExpression(digits.join(QStringLiteral("[ :,.-]?")), QRegularExpression::CaseInsensitiveOption));
    }

    QString maskedIn(QString line) const
    {
        for (const Value &value : m_values)
            line.replace(value.text, value.masked);
        for (const QRegularExpression &dump : m_dumps)
            for (QRegularExpressionMatch match = dump.match(line); match.hasMatch(); match = dump.match(line, match.capturedEnd()))
                line.replace(match.capturedStart(), match.capturedLength(),
                             match.captured().replace(QRegularExpression(QStringLiteral("[0-9a-fA-F]")), QStringLiteral("*")));
        return line;
    }

private:
    struct Value {
        QString text;
        QString masked;
    };
    QVector<Value> m_values;
    QVector<QRegularExpression> m_dumps;
};

class Report : public ChildEvents
{
public:
    explicit Report(const Options &options) : m_options(options) {}

    void stepStarts(const Step &step) override
    {
        sayLibraryOutput();
        if (step.kind == Step::Calling && step.call == DriverCall::Open)
            say(Check::tr("ID card read:"));
        if (step.kind == Step::Calling && step.call == DriverCall::ReadSocial)
            say(Check::tr("Social security card read:"));
    }

    void loaded(const LibraryLoad &load) override
    {
        const QString soname = QLatin1String(sonameOf(load.library));
        if (load.loaded) {
            say(Check::tr("  %1: %2, loaded in %3").arg(soname, QFile::decodeName(load.pathOrReason), durationText(load.nanoseconds)));
            m_paths[int(load.library)] = QFile::decodeName(load.pathOrReason);
            if (load.simulated) {
                m_simulated << soname;
                m_simulatedPaths << m_paths[int(load.library)];
            }
        } else {
            for (const QString &line : explainMissing(soname, load.pathOrReason))
                say(QStringLiteral("  ") + line);
            m_missingLibrary = true;
            m_outcome.stageFailed(Libraries);
        }
        sayLibraryOutput();
    }

    void functionMissing(DriverCall call) override
    {
        const DriverLibrary library = call == DriverCall::ReadSocial ? DriverLibrary::Social : DriverLibrary::Card;
        say(QStringLiteral("  ") + missingFunctionText(QLatin1String(sonameOf(library)), QLatin1String(driverCallName(call)),
                                                       m_paths[int(library)]));
        m_outcome.stageFailed(Libraries);
    }

    void objectsBroughtIn(const QStringList &paths) override
    {
        saySimulated(m_simulated);
        if (m_missingLibrary)
            sayFoldersSearched();
        QStringList vendors;
        for (const QString &path : paths)
            if (!m_simulatedPaths.contains(path))
                vendors << path;
        const QStringList onlyThere = foundOnlyThroughLibraryPath(vendors);
        if (!onlyThere.isEmpty()) {
            sayLibraryPathOnly(onlyThere);
            m_outcome.foundOnlyThroughLibraryPath();
        }
        sayLibraryOutput();
    }

    void objectsLoadedBy(DriverCall call, const QStringList &paths) override
    {
        say(Check::tr("  %1 loaded: %2").arg(QLatin1String(driverCallName(call)), listed(paths)));
        const QStringList onlyThere = foundOnlyThroughLibraryPath(paths);
        if (!onlyThere.isEmpty()) {
            sayLibraryPathOnly(onlyThere);
            m_outcome.foundOnlyThroughLibraryPath();
        }
    }

    void returned(const CallReturn &call) override
    {
        sayCall(call);
        // The two reads' output waits for their data, so that it is masked too.
        if (call.call != DriverCall::ReadBaseMessage && call.call != DriverCall::ReadSocial)
            sayLibraryOutput();
        if (!endsRead(call.call, call.result))
            return;
        if (call.call == DriverCall::Open)
            sayOpenAdvice(call.error);
        m_outcome.stageFailed(call.call == DriverCall::Open ? Open : call.call == DriverCall::ReadBaseMessage ? BaseMessage : Social);
    }

    void descriptorLost(int fd, bool closed, const Step &step) override
    {
        sayLibraryOutput();
        const QString where = stepText(stepDuring(step));
        say(closed ? Check::tr("  The vendor's library closed %1 %2.").arg(descriptorName(fd), where)
                   : Check::tr("  The vendor's library put another file on %1 %2.").arg(descriptorName(fd), where));
        if (!m_descriptorAdviceGiven)
            say(Check::tr("  A program then writes its messages into whatever file takes the number next. The window and "
                          "the check put /dev/null on a closed standard descriptor; the vendor should make the library "
                          "leave them alone."));
        m_descriptorAdviceGiven = true;
        m_outcome.libraryBroke();
    }

    void descriptorsUsedUp(int limitBefore, int limitNow, const Step &step) override
    {
        sayLibraryOutput();
        const QString where = stepText(stepDuring(step));
        say(limitNow < limitBefore
                ? Check::tr("  The vendor's library lowered the limit of open files from %1 to %2 %3: nothing the process "
                            "opens after it can be opened.").arg(limitBefore).arg(limitNow).arg(where)
                : Check::tr("  The vendor's library used up all %1 open files the process may have %2: nothing the process "
                            "opens after it can be opened.").arg(limitNow).arg(where));
        m_outcome.libraryBroke();
    }

    void idCardRead(const IdCardData &card) override
    {
        m_shown.recordRead = true;
        std::memcpy(m_shown.record, card.record.constData(), sizeof m_shown.record);
        const HolderFields holder = decodeBaseMessage(m_shown.record);
        learnPersonalValues(holder);
        m_personal.addBytes(fieldBytes(m_shown.record, RecordLayout::Name));
        m_personal.addBytes(fieldBytes(m_shown.record, RecordLayout::IdCode));
        if (m_options.redact)
            m_shown.redaction = redactRecord(m_shown.record);
        sayLibraryOutput();
        sayHolder(decodeBaseMessage(m_shown.record), m_options.showPersonalData);
        m_shown.photo = card.photo.bytes;
        if (!sayPhoto(card, shownPhotoPath(card.photoPath)))
            m_outcome.stageFailed(Photo);
    }

    void socialRead(const QByteArray &buffer) override
    {
        const QByteArray bytes = bytesInRoom(buffer.constData(), SocialDataBufferSize - 1);
        for (const QString &piece : piecesBetweenSeparators(QString::fromUtf8(bytes)))
            m_personal.add(piece, 0, 0);
        sayLibraryOutput();
        m_shown.socialRead = true;
        m_shown.socialText = m_options.redact ? redactedText(bytes) : bytes;
        const QString text = QString::fromUtf8(m_shown.socialText);
        say(Check::tr("  Text: %1").arg(maskedOrNot(m_options.showPersonalData, text, 0, 0)));
    }

    // Bytes that are no text in the locale's encoding are escaped when said.
    void samIdRead(const QByteArray &samId) override
    {
        sayLibraryOutput();
        say(Check::tr("  SAM ID: %1").arg(samId.isEmpty() ? Check::tr("(none)") : fromLocaleEncoding(samId)));
    }

    void overran(const Overrun &overrun) override
    {
        sayLibraryOutput();
        sayOverrun(overrun);
        m_outcome.libraryBroke();
    }

    // Every byte kept: a NUL, and a byte that is no text in the locale's encoding, are escaped
    // when said.
    void libraryWrote(Stream stream, const QByteArray &line) override
    {
        m_output.append({stream, fromLocaleEncoding(line)});
    }

    void libraryOutputLeftOut(Stream stream, qint64 bytes) override
    {
        sayLibraryOutput();
        say(stream == Stream::Output
                ? Check::tr("  The library wrote %1 more to its standard output, which the check does not show.").arg(sizeText(bytes))
                : Check::tr("  The library wrote %1 more to its standard error, which the check does not show.").arg(sizeText(bytes)));
    }

    Exit finish(const ChildEnd &end, CaptureFolder *folder)
    {
        sayLibraryOutput();
        sayEnd(end, m_options.timeoutSeconds);
        sayLeftBehind(end);
        if (end.forkedCopy)
            m_outcome.libraryBroke();
        if (end.how == ChildEnd::NotStarted)
            m_outcome.stageFailed(Libraries);
        // Nothing is captured once a signal asked the check to end.
        const bool capturing = folder && end.how != ChildEnd::Interrupted;
        const CaptureResult capture = capturing ? writeCapture(*folder, m_shown, m_options.redact) : CaptureResult::Written;
        if (capture != CaptureResult::Written)
            m_outcome.stageFailed(Capture);
        const Exit result = m_outcome.exitCode(end);
        if (const int signal = endingSignalArrived().number) {
            say(Check::tr("Result: the check was stopped by %1.").arg(signalText(signal)));
            return result;
        }
        if (result == Everything)
            say(Check::tr("Result: everything was read (exit code 0)."));
        else
            say(Check::tr("Result: %1 (exit code %2).").arg(failure(result)).arg(int(result)));
        return result;
    }

private:
    // A vendor may name the photo after the holder: unless personal data is to be shown, the
    // file name but its extension is masked, and the card's values wherever else they stand.
    QString shownPhotoPath(const QByteArray &path) const
    {
        const QString text = fromLocaleEncoding(m_options.redact ? redactedText(path) : path);
        if (m_options.showPersonalData || text.isEmpty())
            return text;
        const int nameStart = text.lastIndexOf(QLatin1Char('/')) + 1;
        const int dot = text.lastIndexOf(QLatin1Char('.'));
        const int nameEnd = dot > nameStart ? dot : text.size();
        const QString name = text.mid(nameStart, nameEnd - nameStart);
        return m_personal.maskedIn(text.left(nameStart)) + masked(name, 0, 0) + text.mid(nameEnd);
    }

    void learnPersonalValues(const HolderFields &holder)
    {
        m_personal.add(holder.name, 1, 0);
        m_personal.add(holder.birth.year + holder.birth.month + holder.birth.day, 0, 0);
        m_personal.add(holder.address, 3, 0);
        m_personal.add(holder.idCode, 4, 4);
        m_personal.add(holder.agency, 3, 0);
    }

    // What the library wrote since the last step, marked as the library's and masked as the
    // card's data is.
    void sayLibraryOutput()
    {
        for (const auto &written : m_output) {
            const QString text = m_options.showPersonalData ? written.second : m_personal.maskedIn(written.second);
            say(written.first == Stream::Output ? Check::tr("  [library stdout] %1").arg(text)
                                                : Check::tr("  [library stderr] %1").arg(text));
        }
        m_output.clear();
    }

    Options m_options;
    Outcome m_outcome;
    bool m_missingLibrary = false;
    bool m_descriptorAdviceGiven = false;
    QString m_paths[2];
    QStringList m_simulated;
    QStringList m_simulatedPaths;
    ShownCard m_shown;
    PersonalValues m_personal;
    QVector<QPair<Stream, QString>> m_output;
};

}

Exit check(const Options &options)
{
    takeEndingSignals();
    std::unique_ptr<CaptureFolder> folder;
    if (!options.captureFolder.isEmpty()) {
        folder.reset(new CaptureFolder(options.captureFolder));
        for (const UnfinishedCapture &unfinished : folder->unfinishedRemoved())
            say(unfinished.files.isEmpty()
                    ? Check::tr("The check removed %1, an empty temporary folder left by a run of the check that was "
                                "stopped while writing a capture.").arg(unfinished.path)
                    : Check::tr("An unfinished capture, left by a run of the check that was stopped while writing, held a "
                                "card's data: %1 (%2). The check removed it.").arg(unfinished.path, listed(unfinished.files)));
        if (!folder->refusal().isEmpty()) {
            say(Check::tr("No capture: %1.").arg(folder->refusal()));
            return Capture;
        }
    }
    say(Check::tr("Driver libraries:"));
    Report report(options);
    const ChildEnd end = superviseDriverChild(options.timeoutSeconds, report);
    const Exit result = report.finish(end, folder.get());
    // A signal from elsewhere ends the check by that signal, once its child is stopped and
    // a folder made for the capture is removed if it stayed empty.
    if (const int signal = endingSignalArrived().number) {
        if (folder && !folder->made().isEmpty())
            rmdir(folder->made().constData());
        endBySignal(signal);
    }
    return result;
}
