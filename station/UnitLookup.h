#pragma once

#include <QString>
#include <vector>

#include "updatefile/UnitCatalogue.h"

// Whether the build offers the brand choice (and with it the first brand's unit types).
bool BuildOffersBrandChoice();

// The unit types offered: the build's, and the first brand's too when asked for.
std::vector<int> OfferedUnits(bool brandChoiceAsked);

// The offered unit type that text names: its code ("13"), its short name ("TVR-4200") or its
// full name, letter case and surrounding blanks aside. nullptr when none does; error then names
// the offered ones (and says when the unit exists but is not offered).
const TUnitType *LookUpUnit(const QString &text, const std::vector<int> &offered, QString &error);

// "S1", "S2" or "S3": the data records of a variant.
QString VariantName(TRecordVariant variant);

// "update-mode", "monitor" or "module".
QString FlowName(TUpdateFlowKind flow);
