// The shell's open operation on Windows: its own result codes reach the help launcher unchanged.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "wizard/HelpShell.h"

namespace {

TEST(HelpShell, AMissingPageIsFileOrPathNotFound)
{
    QTemporaryDir root;
    const int missingFile = OpenDocumentWithShell(root.filePath(QStringLiteral("index.html")).replace(QLatin1Char('/'), QLatin1Char('\\')));
    EXPECT_TRUE(missingFile == 2 || missingFile == 3) << missingFile;
    const int missingFolder = OpenDocumentWithShell(root.filePath(QStringLiteral("help/index.html")).replace(QLatin1Char('/'), QLatin1Char('\\')));
    EXPECT_TRUE(missingFolder == 2 || missingFolder == 3) << missingFolder;
}

TEST(HelpShell, ADocumentNoApplicationOpensIsNoAssociation)
{
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("index.varnel-no-such-type"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(OpenDocumentWithShell(QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'))), 31);
}

} // namespace
