#pragma once

// What the check prints, from the reports of the child process that runs the vendor's code
// (supervisor.h), and its exit code.

#include "outcome.h"

#include <QByteArray>

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
