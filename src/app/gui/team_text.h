#pragma once
// The team history's problems and state in the user's language, for the History and Team history
// dialogs. UI thread (the string table).
#include "framework/afx.h"
#include "history/sync_state.h"
#include "team/team_error.h"

// "The history server could not be reached: <detail>" and the like; empty for no problem.
CString TeamProblemText(const TeamError& error);
// "Team history: last sync <time>; <n> records waiting to be sent.", then the last problem, if any.
CString TeamStateText(const HistorySyncState& state);
