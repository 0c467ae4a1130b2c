// idcardshow-check: tells an integrator bringing up a reader machine which step fails. It
// loads the driver libraries as the program would find them, makes the window's two reads
// step by step in a process of their own, says what each call returned, how long it took and
// what it means, what was read, and what the vendor's code did wrong if it crashed, ended the
// process or did not return; it can capture what the driver returned for replay with the
// simulated reader. This file is its command line.

#include "helptext.h"
#include "localeencoding.h"
#include "nocoredumps.h"
#include "output.h"
#include "report.h"
#include "standarddescriptors.h"
#include "text.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

namespace {

struct CommandLine {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, Check::tr("Show the options and exit codes.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}, Check::tr("Show the version.")};
    QCommandLineOption showPersonal{QStringLiteral("show-personal-data"), Check::tr("Show the card's data unmasked.")};
    QCommandLineOption capture{QStringLiteral("capture"),
                               Check::tr("Also write what the driver returned into FOLDER (new or empty), for replay with "
                                         "KESTREL_SIM=replay:FOLDER."),
                               Check::tr("FOLDER")};
    QCommandLineOption redact{QStringLiteral("redact"), Check::tr("With --capture: replace the holder's personal data with fictional values.")};
    QCommandLineOption timeout{QStringLiteral("timeout"),
                               Check::tr("Wait at most SECONDS (1 to %1, default %2) for the loading of each library and for "
                                         "each call before taking it as hung and stopping it.")
                                   .arg(MaxTimeoutSeconds).arg(DefaultTimeoutSeconds),
                               Check::tr("SECONDS")};
};

QString description()
{
    return Check::tr(
        "Checks a card reader machine: loads the reader's driver libraries, reads the ID card and the social "
        "security card as idcardshow does, and says what each step returned and how long it took. The vendor's "
        "libraries run in a process of their own, so that the check can say which library or call crashed, "
        "ended the process or did not return.\n\n"
        "Exit codes: 0 everything was read; 1 a driver library did not load or lacks a function; 2 the reader "
        "did not open; 3 no ID card was read; 4 the photo cannot be shown; 5 no social security card was read; "
        "6 no capture could be made, or it was not written; 7 the vendor's library crashed, ended or stopped the "
        "process, wrote past the end of a buffer, forked a copy that went on, used up the open files, sent the check "
        "a signal, or closed or replaced a standard descriptor or the check's channel; 8 loading a library or a call "
        "did not return within --timeout; 9 a driver library, or a library it needs, is found only through "
        "LD_LIBRARY_PATH, so a window started from the desktop menu would not find it; 64 wrong options or "
        "arguments. 7 and 8 come before the others, 9 only when nothing else failed, and the first failing stage "
        "decides. A signal that ends a program (Ctrl-C, a closed terminal) stops the vendor's library and "
        "everything it started, takes away a capture being written, and then ends the check by that signal; one "
        "ignored when the check started stays ignored.");
}

int timeoutSeconds(const QString &value)
{
    bool number = false;
    const int seconds = value.toInt(&number);
    return number && seconds >= 1 && seconds <= MaxTimeoutSeconds ? seconds : 0;
}

// The parser names an unknown option without its dashes: they are put back, as it was typed.
QString unknownOptions(const QStringList &names)
{
    const QStringList arguments = QCoreApplication::arguments();
    QStringList typed;
    for (const QString &name : names) {
        const QString longForm = QStringLiteral("--") + name;
        const bool single = name.size() == 1 && !arguments.contains(longForm);
        typed << (single ? QStringLiteral("-") + name : longForm);
    }
    if (typed.size() == 1)
        return Check::tr("Unknown option '%1'.").arg(typed.first());
    return Check::tr("Unknown options: %1.").arg(listed(typed));
}

// Why the arguments cannot be used, or nothing.
QString usageError(QCommandLineParser &parser, const CommandLine &options)
{
    if (!parser.parse(QCoreApplication::arguments()))
        return parser.unknownOptionNames().isEmpty() ? parser.errorText() : unknownOptions(parser.unknownOptionNames());
    if (!parser.positionalArguments().isEmpty())
        return Check::tr("Unexpected argument: %1.").arg(parser.positionalArguments().join(QStringLiteral(" ")));
    if (parser.isSet(options.redact) && !parser.isSet(options.capture))
        return Check::tr("--redact works only with --capture FOLDER.");
    if (parser.isSet(options.capture) && parser.value(options.capture).isEmpty())
        return Check::tr("--capture needs the name of a folder.");
    if (parser.isSet(options.timeout) && timeoutSeconds(parser.value(options.timeout)) == 0)
        return Check::tr("--timeout needs a whole number of seconds from 1 to %1.").arg(MaxTimeoutSeconds);
    return {};
}

// The value given to a long option, as the bytes on the command line: a folder name that is no
// text in the locale's encoding would change in being decoded and encoded again.
QByteArray givenBytes(int argc, char *argv[], const QByteArray &option, const QByteArray &otherWithValue)
{
    QByteArray value;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == otherWithValue)
            ++i;
        else if (argument == option && i + 1 < argc)
            value = argv[++i];
        else if (argument.startsWith(option + '='))
            value = argument.mid(option.size() + 1);
    }
    return value;
}

// Qt 6.5 and later, in a locale whose encoding is not UTF-8, switch the character type to UTF-8
// and say so in English on the standard error; the check converts to the locale's encoding
// itself, and sets the character type back, so that notice would only mislead the operator.
QtMessageHandler qtHandler = nullptr;

void withoutUtf8Notice(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!(message.startsWith(QLatin1String("Detected locale ")) && message.contains(QLatin1String("which is not UTF-8"))))
        qtHandler(type, context, message);
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
    // Its own pipes to the child must not take a standard descriptor's number.
    reopenClosedStandardDescriptors();
    disableCoreDumps();
    qtHandler = qInstallMessageHandler(withoutUtf8Notice);
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    app.setApplicationName(QStringLiteral("idcardshow-check"));
    app.setApplicationVersion(QStringLiteral(IDCARDSHOW_VERSION));
    // Where the encoding has no simplified Chinese, Chinese messages would be escapes: English shows.
    if (chooseLocaleEncoding())
        installTranslation(app);

    QCommandLineParser parser;
    const CommandLine options;
    const QList<QCommandLineOption> all{options.help, options.version, options.showPersonal,
                                        options.capture, options.redact, options.timeout};
    parser.addOptions(all);
    const QString error = usageError(parser, options);
    if (!error.isEmpty()) {
        sayOnError(error);
        sayOnError(Check::tr("Run `idcardshow-check --help` for the options."));
        return Usage;
    }
    if (parser.isSet(options.help)) {
        for (const QString &line : helpLines(description(), all))
            say(line);
        return Everything;
    }
    if (parser.isSet(options.version))
        parser.showVersion();

    Options chosen;
    chosen.showPersonalData = parser.isSet(options.showPersonal);
    chosen.redact = parser.isSet(options.redact);
    if (parser.isSet(options.capture))
        chosen.captureFolder = givenBytes(argc, argv, "--capture", "--timeout");
    if (parser.isSet(options.timeout))
        chosen.timeoutSeconds = timeoutSeconds(parser.value(options.timeout));
    return check(chosen);
}
