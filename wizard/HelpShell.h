#pragma once

#include <QString>

// Asks the desktop to open a document with its default application (for the help start page:
// the web browser) and answers with the shell's result code: above 32 when the document is being
// opened, otherwise the failure code (2 file not found, 5 access denied, 31 no application
// associated, ...). Returns without waiting for the application.
int OpenDocumentWithShell(const QString &path);
