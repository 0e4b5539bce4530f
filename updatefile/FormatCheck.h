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
