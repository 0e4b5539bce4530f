#include "protocols/UpdateEngine.h"

#include "protocols/UpdateFlows.h"

namespace {

using TFlowFunction = TUpdateOutcome (*)(TLink &, const TUnitType &);

// The flow that serves each kind of unit.
struct TFlowEntry {
    TUpdateFlowKind Kind;
    TFlowFunction Run;
};

constexpr TFlowEntry FlowTable[] = {
    {TUpdateFlowKind::UpdateMode, UpdateModeFlow},
    {TUpdateFlowKind::ResistorMonitor, ResistorMonitorFlow},
    {TUpdateFlowKind::CommsModule, CommsModuleFlow},
};

} // namespace

TUpdateOutcome RunUpdate(TLink &link, const TUnitType &unit)
{
    try {
        link.State.SelectedUnit = unit.Code;
        for (const TFlowEntry &entry : FlowTable)
            if (entry.Kind == unit.Flow)
                return entry.Run(link, unit);
    } catch (...) {
        // The flows catch at their own edge; this is the engine's promise never to raise.
    }
    TUpdateOutcome unexpected;
    unexpected.Kind = TOutcomeKind::Unexpected;
    return unexpected;
}
