#pragma once

#include "operator/OperatorSurface.h"
#include "operator/WizardState.h"
#include "updatefile/UnitCatalogue.h"

// Reads the update file named by the open-file dialog (surface.UpdateFileName()) once and
// checks its structure for the variant: header within the first 31 lines, data records of the
// variant with byte counts matching the line length, then the termination record. Returns the
// number of data records plus one, or 0 when the file is not usable or the check was stopped
// (StopRequested). Shows its own status texts and message boxes.
int CheckUpdateFileFormat(TOperatorSurface &surface, TWizardState &state, TRecordVariant variant);

// Why a check gave its count: the file is usable, or the check was stopped, or the file could
// not be opened or read to its end, or its structure does not fit, or the check failed in some
// other way (the surface raised).
enum class TFormatVerdict { Usable, Stopped, Unreadable, NotValid, Failed };

struct TFormatCheckResult {
    int Records = 0; // as CheckUpdateFileFormat returns it
    TFormatVerdict Verdict = TFormatVerdict::Failed;
};

// The same check, with the reason for a count of 0. Shows exactly what CheckUpdateFileFormat
// shows.
TFormatCheckResult CheckUpdateFileFormatWithVerdict(TOperatorSurface &surface, TWizardState &state,
                                                    TRecordVariant variant);
