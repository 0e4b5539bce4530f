#pragma once

#include <QString>

// The questions a flow asks that a front end answers on its own terms: the Begin question (the
// unit put into update or bootloader mode), the restart question of update-mode units and the
// Stop question; every other question is Other. Told apart by the title the flow gives them.
enum class TFlowQuestion { Begin, Restart, Stop, Other };

TFlowQuestion ClassifyQuestion(const QString &title);
