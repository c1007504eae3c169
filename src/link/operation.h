#pragma once

#include "link/device_image.h"
#include "link/report.h"

#include <QString>

namespace vardex::link {

// How an exchange sequence ended. Sequences return this instead of bare flags so a
// page can tell the engineer what really happened.
enum class OpStatus {
    Done,
    NoReply,      // a request was not answered in time
    ErrorReply,   // the controller answered "ERR"
    VerifyFailed, // the read-back differs from what was written
    Cancelled,    // the engineer pressed stop, or the window is closing
    Disconnected, // the controller went away during the sequence
    Failed,       // anything else; the message says what
};

struct OpResult {
    OpStatus status = OpStatus::Done;
    QString message; // for the engineer, empty when the page has its own wording
    int step = 0;    // the loop, page or record the sequence stopped at (1-based, 0: none)

    bool ok() const { return status == OpStatus::Done; }
    static OpResult done() { return {}; }
    static OpResult fail(OpStatus s, int step = 0, QString text = {})
    {
        return {s, std::move(text), step};
    }
};

// What an exchange sequence needs of the link. A sequence is a plain function of its
// subsystem taking an OperationContext &; the data module hands the context out only
// to the operations it runs (DataModule::runOperation() and its other lanes), so a sequence
// holds the link from its first request to its last wait. Widgets start sequences and
// show their results; they never send by themselves.
class OperationContext {
public:
    virtual ~OperationContext() = default;

    virtual DeviceImage &image() = 0;
    virtual bool hasDevice() const = 0;

    // Puts the request on the wire (all unlisted bytes zero); a no-op without a
    // device, once cancelled, or while closing.
    virtual void send(const Payload &request) = 0;
    // True when the reply to the last request arrived before the time-out. Returns
    // false at once once the operation is cancelled or the device is gone.
    virtual bool waitReply(int timeoutMs) = 0;
    // For replies that come as several reports (a log record): waits for the next
    // report belonging to the request last sent, without sending anything.
    virtual bool waitNextReport(int timeoutMs) = 0;
    // The payload of the last report handled (the reply just waited for).
    virtual Payload lastReply() const = 0;
    // True when the last accepted reply was the controller's error reply.
    virtual bool lastReplyWasError() const = 0;
    // Lets time pass (at least ms) with the window responsive; cut short by cancel.
    virtual void pause(int ms) = 0;

    // Step chaining. A long sequence is a chain of short steps (one pass, one block, one
    // record); between two steps nothing is outstanding, so the link can serve others.
    // yieldLink() is a step boundary: work that waited for the link (the priority lane,
    // ticks held over, queued clicks) runs now, then the sequence goes on. A context
    // without other work (tests, the command line) does nothing here.
    virtual void yieldLink() {}
    // A pause between two steps with the link given back: at least ms pass, and what
    // wants the link meanwhile runs at once instead of waiting for the sequence's end.
    // Without other work it is exactly pause(ms).
    virtual void pauseYielding(int ms) { pause(ms); }

    // Stop requested by the engineer, the window closing, or the device gone.
    virtual bool cancelled() const = 0;
    // Why cancelled() is true, as a status (Cancelled or Disconnected).
    virtual OpStatus cancelReason() const = 0;

    virtual void showProgress(bool visible, int maximum) = 0;
    virtual void setProgress(int position) = 0;
    virtual void setBusyCursor(bool busy) = 0;
};

// Shows the progress bar for the life of a scope, whatever way it is left.
class ProgressScope {
public:
    ProgressScope(OperationContext &ctx, int maximum) : m_ctx(ctx)
    {
        m_ctx.showProgress(true, maximum);
    }
    ~ProgressScope() { m_ctx.showProgress(false, 0); }
    ProgressScope(const ProgressScope &) = delete;
    ProgressScope &operator=(const ProgressScope &) = delete;

private:
    OperationContext &m_ctx;
};

// The hourglass for the life of a scope: of an operation, or of work without the link
// (an export) on the data module itself.
template <class Target> class BusyCursorScope {
public:
    explicit BusyCursorScope(Target &target) : m_target(target) { m_target.setBusyCursor(true); }
    ~BusyCursorScope() { m_target.setBusyCursor(false); }
    BusyCursorScope(const BusyCursorScope &) = delete;
    BusyCursorScope &operator=(const BusyCursorScope &) = delete;

private:
    Target &m_target;
};

} // namespace vardex::link
