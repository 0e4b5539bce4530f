#pragma once

class QTextDocument;

// First-line indent of the unit names in the welcome text, in points.
inline constexpr int WelcomeNameIndentPoints = 15;

// Replaces the document's content with the welcome text for the brand: the welcome line, the
// brand's unit types one per line with a first-line indent, and the closing lines that point to
// the help. Each "\n" of the texts starts a new line.
void WriteWelcomeText(QTextDocument &document, int selectedBrand);
