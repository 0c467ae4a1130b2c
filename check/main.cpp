// idcardshow-check: tells an integrator bringing up a reader machine which step fails. It
// loads the driver libraries as the program would find them, makes the window's two reads
// step by step in a process of their own, says what each call returned, how long it took and
// what it means, what was read, and what the vendor's code did wrong if it crashed, ended the
// process or did not return; it can capture what the driver returned for replay with the
// simulated reader. This file is its command line.

#include "nocoredumps.h"
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
        "6 the capture was refused or not written; 7 the vendor's library crashed, ended the process, or closed a "
        "standard descriptor or the check's channel; 8 loading a library or a call did not return within "
        "--timeout; 9 a driver library, or a library it needs, is found only through LD_LIBRARY_PATH, so a window "
        "started from the desktop menu would not find it; 64 wrong options or arguments. 7 and 8 come before the "
        "others, 9 only when nothing else failed; otherwise the first failing stage decides.");
}

int timeoutSeconds(const QString &value)
{
    bool number = false;
    const int seconds = value.toInt(&number);
    return number && seconds >= 1 && seconds <= MaxTimeoutSeconds ? seconds : 0;
}

// Why the arguments cannot be used, or nothing.
QString usageError(QCommandLineParser &parser, const CommandLine &options)
{
    if (!parser.parse(QCoreApplication::arguments()))
        return parser.errorText();
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
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("idcardshow-check"));
    app.setApplicationVersion(QStringLiteral(IDCARDSHOW_VERSION));
    installTranslation(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    const CommandLine options;
    parser.addOption(options.help);
    parser.addVersionOption();
    parser.addOptions({options.showPersonal, options.capture, options.redact, options.timeout});
    const QString error = usageError(parser, options);
    if (!error.isEmpty()) {
        const QString text = error + '\n' + Check::tr("Run `idcardshow-check --help` for the options.") + '\n';
        std::fputs(text.toUtf8().constData(), stderr);
        return Usage;
    }
    if (parser.isSet(options.help))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    Options chosen;
    chosen.showPersonalData = parser.isSet(options.showPersonal);
    chosen.redact = parser.isSet(options.redact);
    chosen.captureFolder = parser.value(options.capture);
    if (parser.isSet(options.timeout))
        chosen.timeoutSeconds = timeoutSeconds(parser.value(options.timeout));
    return check(chosen);
}
