#pragma once

// The child's reports, decoded as untrusted: each frame's fields within their bounds, and the
// frames in the order the loading and the reads make them. Hands each report to the check's
// events; pure, so that it is tested on byte arrays.

#include "childevents.h"

#include <functional>

class ReportDecoder
{
public:
    // `stepStarting` runs right before each step starts is told, to end the library's
    // unfinished lines of the step before.
    ReportDecoder(ChildEvents &events, std::function<void()> stepStarting);

    // Takes one frame's report; false when a field is out of its bounds or the report is out
    // of the read's order: the channel is then garbled, and nothing more is taken.
    bool take(Message type, const QByteArray &payload);

    // The step the child reported last.
    const Step &step() const { return m_step; }
    // Counts the steps' starts and ends: the deadline runs from each, whatever else arrives.
    int stepChanges() const { return m_stepChanges; }
    // The last report arrived.
    bool finished() const { return m_finished; }

private:
    void stepStarts(Step step);
    void setStep(Step step);
    bool finishExpected() const;
    bool startLoading(PayloadReader &in);
    bool endLoading(PayloadReader &in);
    bool beforeReads() const;
    bool missingFunctions(PayloadReader &in);
    bool objectsBroughtIn(PayloadReader &in);
    bool startCall(PayloadReader &in);
    bool endCall(PayloadReader &in);
    bool descriptorLost(PayloadReader &in);
    bool descriptorsUsedUp(PayloadReader &in);
    bool idCardRead(PayloadReader &in);
    bool socialRead(PayloadReader &in);
    bool samIdRead(PayloadReader &in);
    bool overrun(PayloadReader &in);

    ChildEvents &m_events;
    std::function<void()> m_stepStarting;
    Step m_step;
    int m_stepChanges = 0;
    // The read's order, as far as the reports went.
    int m_librariesLoaded = 0;
    bool m_allLoaded = true;
    bool m_missingSeen = false;
    bool m_objectsSeen = false;
    bool m_readExpected = false;
    int m_nextCall = int(DriverCall::Open);
    DriverCall m_previousCall = DriverCall::Open;
    Message m_dataExpected = Message::Finished; // the data frame the last call's success owes, or Finished for none
    bool m_overrunSeen = false;
    bool m_objectsSinceReturn = false;
    bool m_descriptorsSeen = false; // said once: they stay used up
    bool m_finished = false;
};
