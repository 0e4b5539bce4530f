#pragma once

#include <QString>

#include "updatefile/UnitCatalogue.h"

// The unit type a job names, as varnel-cli takes it: its code ("12"), its short name
// ("TVR-4200") or its full name, letter case and surrounding blanks aside, among the unit types
// this build offers. nullptr, with a one-line reason in error, when it names none of them.
const TUnitType *JobUnit(const QString &text, QString &error);
