#pragma once

// The check's exit code, from what failed as the report went.

#include "supervisor.h"

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

// Precedence, highest first:
//   8  a call or a library's loading did not return (a hang, not a stop or a garbled channel)
//   7  the library broke the process: the child did not finish (crash, exit, stop, garbled or
//      lost channel, a signal to the check), or a fault named on the way (a descriptor closed
//      or used up, a buffer overrun, a forked copy)
//   1-6  the first stage that failed
//   9  a library found only through LD_LIBRARY_PATH
//   0  everything was read
class Outcome
{
public:
    // Only the first failing stage counts.
    void stageFailed(Exit stage);
    void libraryBroke() { m_libraryBroke = true; }
    void foundOnlyThroughLibraryPath() { m_libraryPathOnly = true; }
    Exit exitCode(const ChildEnd &end) const;

private:
    Exit m_stage = Everything;
    bool m_libraryBroke = false;
    bool m_libraryPathOnly = false;
};
