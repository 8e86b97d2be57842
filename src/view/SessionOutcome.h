#pragma once

#include "recording/PaneRefresh.h"
#include "recording/RecordingSession.h"
#include "viewmodel/PaneCopy.h"

#include <utility>

// What a session operation hands back to the user-interface thread: its result, and copies of
// the panes it changed (taken on the worker, between the operation's end and the next one).
template <typename Result>
struct SessionOutcome {
    Result result;
    vmx::PaneCopies copies;
};

template <typename Result>
SessionOutcome<Result> WithCopies(vmx::RecordingSession& session, Result result, const vmx::PaneRefresh& refresh)
{
    SessionOutcome<Result> outcome{std::move(result), {}};
    outcome.copies = vmx::CopyRefreshedPanes(session, refresh);
    return outcome;
}
