#pragma once

// What the check prints, from the reports of the child process that runs the vendor's code
// (supervisor.h), and its exit code.

#include <QByteArray>

// One exit code for each stage that can fail; the first failing stage decides, except that a
// library that broke the process (7) or did not return (8) decides before any, and one found
// only through LD_LIBRARY_PATH (9) only when nothing else failed.
enum Exit {
    Everything = 0,
    Libraries = 1,
    Open = 2,
    BaseMessage = 3,
    Photo = 4,
    Social = 5,
    Capture = 6,
    LibraryBroke = 7,
    NoReturn = 8,
    LibraryPathOnly = 9,
    Usage = 64,
};

// Lets a read of 5 s succeed, and reports a hang within 15 s of the step's start.
constexpr int DefaultTimeoutSeconds = 10;
constexpr int MaxTimeoutSeconds = 3600;

struct Options {
    bool showPersonalData = false;
    bool redact = false;
    QByteArray captureFolder; // as given: a name need not be text
    int timeoutSeconds = DefaultTimeoutSeconds;
};

// Loads the driver libraries and makes both reads in a child process, says what each step
// did and what it means, writes the capture when asked, and ends with the result.
Exit check(const Options &options);
