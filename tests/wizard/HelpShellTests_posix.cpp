// How the desktop's open of the help page maps to the shell's result codes on Linux.
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

#include "wizard/HelpShell.h"

namespace {

TEST(HelpShell, MapsWhatGoesWrongToTheShellsResultCodes)
{
    QTemporaryDir root;
    EXPECT_EQ(OpenDocumentWithShell(root.filePath(QStringLiteral("help/index.html"))), 2);
    EXPECT_EQ(OpenDocumentWithShell(root.path()), 2); // a folder is not a page

    const QString page = root.filePath(QStringLiteral("index.html"));
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    if (geteuid() != 0) {
        ASSERT_TRUE(QFile::setPermissions(page, QFileDevice::Permissions()));
        EXPECT_EQ(OpenDocumentWithShell(page), 5);
        QFile::setPermissions(page, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    // Without a desktop to hand the page to (the offscreen platform) the open fails as "no
    // application associated".
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        EXPECT_EQ(OpenDocumentWithShell(page), 31);
    }
}

} // namespace
