#pragma once

#include "core/CommandSteps.h"
#include "core/Display.h"
#include "core/LoopHost.h"
#include "core/PollPacing.h"
#include "core/RelayFailure.h"
#include "core/RelayObserver.h"
#include "core/RelayState.h"
#include "core/TextFile.h"

#include <chrono>
#include <optional>
#include <string>

namespace freqrelay {

// Reads the frequency file about four times a second and, whenever its whole
// text has changed, encodes and sends it. It is a step machine that its host
// drives from the window's event loop: each run goes from step to step until
// the loop must wait, and says how long; the host serves the window meanwhile
// and runs it again. Every failing step is repeated after such a wait,
// exactly that step and not the iteration, with three exceptions: an
// overflow of the number, which repeating cannot cure, abandons the iteration
// and the file is polled again; a failed read lets go of the file, which is
// then opened and read again from the start; and a command that cannot be
// sent yet is dropped once the file holds another text, which is then
// encoded and sent instead.
class PollLoop {
public:
    // One step of an iteration; Encode and Send hold several steps each.
    // Pause hands control back to the host until the next poll.
    enum class Step { ClearText, Pause, Arm, Open, TestEnd, Read, Close, Compare, Store, Encode, Send };

    struct Position {
        Step step = Step::ClearText;
        int index = 0;  // within Encode or Send
        friend bool operator==(const Position&, const Position&) = default;
    };

    // `observer`, when given, is told of failures, their clearing, and every
    // command sent.
    PollLoop(RelayState& state, LoopHost& host, TextFile& file, Display& display, CommandSteps& sender,
             RelayObserver* observer = nullptr);

    // Sets up the state; the first run starts the first iteration.
    void start();
    // Runs steps from where the loop stands until it must wait, either for
    // the next poll or to repeat a failed step; returns how long. No step is
    // left half done: the file or the port is held open across the wait only
    // by a failed step that waits to be repeated.
    std::chrono::milliseconds runUntilPause();
    // Where the next run starts.
    Position position() const { return at_; }
    // True when the next run starts by reading the file.
    bool readsFileNext() const;

private:
    // The failure the loop is repeating a step for.
    struct Failing {
        Position at;
        StepFailure report;  // with the latest reason
        std::string toldReason;
        std::chrono::steady_clock::time_point since;
        std::chrono::steady_clock::time_point told;
        int failedTries = 0;
    };

    Position runStep(Position at);
    static StepArea areaOf(Step step);
    StepFailure describe(Position at, const RelayFailure& failure) const;
    void noteFailure(Position at, const RelayFailure& failure);
    void noteSuccess(Position at);
    // runStep, with running out of memory raised as a failure of the step.
    Position runStepOrFail(Position at);
    // The position to repeat the failed sending step `failed` from: the
    // start of a new iteration's encoding when the file holds another text
    // than the one being sent, `failed` otherwise.
    Position afreshIfStale(Position failed);
    static void releaseText(Variant& field);
    void warnIfNoNumber() const;

    RelayState& state_;
    LoopHost& host_;
    TextFile& file_;
    Display& display_;
    CommandSteps& sender_;
    RelayObserver* observer_;
    bool armed_ = false;
    Position at_;
    std::optional<Failing> failing_;
};

}  // namespace freqrelay
