#pragma once

#include "protocols/UpdateOutcome.h"
#include "seriallink/LinkPrimitives.h"
#include "updatefile/UnitCatalogue.h"

// The one way into an update, for every front end: runs the update flow that the unit type's
// catalogue row names, on the link's selected port (link.ComPort.Port()) with the update file
// the surface names (link.Surface.UpdateFileName()). Sets link.State.SelectedUnit to the unit's
// code. Shows every text and question through link.Surface, closes what it opened on every way
// out, and never raises.
TUpdateOutcome RunUpdate(TLink &link, const TUnitType &unit);
