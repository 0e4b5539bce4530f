#pragma once

#include <QString>

#include "cli/CliOptions.h"

// The --help text of a command, or the overall one for None.
QString HelpText(TCliCommand command);

// "varnel-cli 1.70".
QString VersionText();
