#include "station/FlowQuestion.h"

#include "protocols/FlowTexts.h"
#include "seriallink/LinkTexts.h"

TFlowQuestion ClassifyQuestion(const QString &title)
{
    if (title == FlowTexts::BeginTitle)
        return TFlowQuestion::Begin;
    if (title == FlowTexts::UpdateModeTexts::RestartTitle)
        return TFlowQuestion::Restart;
    if (title == LinkTexts::StopPromptTitle)
        return TFlowQuestion::Stop;
    return TFlowQuestion::Other;
}
