#pragma once
// How a report operation ended: done, cancelled by the user (printer dialog),
// or failed with a run-time error that the caller reports as it sees fit.
#include "data/Errors.h"

#include <optional>

class ReportResult
{
public:
    static ReportResult done() { return ReportResult(State::Done); }
    static ReportResult cancelled() { return ReportResult(State::Cancelled); }
    static ReportResult failed(const RuntimeError &error)
    {
        ReportResult r(State::Failed);
        r.m_error = error;
        return r;
    }

    bool ok() const { return m_state == State::Done; }
    bool wasCancelled() const { return m_state == State::Cancelled; }
    bool failed() const { return m_state == State::Failed; }
    // The error of a failed operation; nullptr otherwise.
    const RuntimeError *error() const { return m_error ? &*m_error : nullptr; }

private:
    enum class State { Done, Cancelled, Failed };
    explicit ReportResult(State s) : m_state(s) {}
    State m_state;
    std::optional<RuntimeError> m_error;
};

// Run-time error numbers of the report operations.
enum : int {
    ErrReportFile = 75,       // the export file cannot be written
    ErrReportPrinter = 482,   // the printer cannot be used
    ErrReportField = 3265,    // a bound field names no column of the data source
};
