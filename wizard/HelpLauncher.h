#pragma once

#include <QString>
#include <functional>

class TOperatorSurface;

// The folder of the program's executable file with a path separator at its end, in the
// platform's notation; empty when the toolkit gives none.
QString ProgramFolder();

// The help start page beside the executable: programFolder, the help folder and the start page,
// joined with the platform's separator. Built at whatever length the folder needs.
QString HelpStartPagePath(const QString &programFolder);

// The text explaining a failed shell result; empty for a success (a result above 32).
QString HelpErrorText(int shellResult);

// The Help button: opens the help start page with the opener (the shell by default) and, when
// that fails, explains why in a box with OK only and no icon.
using THelpOpener = std::function<int(const QString &path)>;
void ShowHelp(TOperatorSurface &surface, const QString &programFolder, const THelpOpener &open);
