// The open-file dialog of the port-and-file page: what it lists.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QTest>

#include "app/OpenDialog.h"
#include "tests/wizard/WindowRig.h"

namespace {

QStringList Listed(QListView *view)
{
    QStringList names;
    const QAbstractItemModel *model = view->model();
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row)
        names << model->index(row, 0, view->rootIndex()).data().toString();
    names.sort();
    return names;
}

TEST(UpdateFileDialog, ListsUpdateFilesEndingInEitherCase)
{
    TWindowRig rig;
    auto *component = rig.window->findChild<TOpenDialog *>(QStringLiteral("OpenDialog1"));
    ASSERT_NE(component, nullptr);
    QTemporaryDir dir;
    for (const char *name : {"T42_0417.s19", "T42_0418.S19", "T42_0419.S1", "notes.txt", "T42_0420.s19.bak"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    component->InitialDir = dir.path();

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog); // Qt's own: its list can be read
    component->Configure(dialog);
    dialog.show();
    auto *view = dialog.findChild<QListView *>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    // The folder is read on a thread of its own; wait until both files are in, then a moment more.
    // (A wait that runs out leaves the list as it is, which the comparison below then shows.)
    [[maybe_unused]] const bool filled = QTest::qWaitFor([&] { return Listed(view).size() >= 2; }, 5000);
    QTest::qWait(100);
    EXPECT_EQ(Listed(view), (QStringList{"T42_0417.s19", "T42_0418.S19"}));

    // Qt's own dialog matches without regard to case; a desktop's own dialog (GTK's, for one)
    // matches each pattern as it is written, so both cases are given. The filter list shows the
    // description only.
    EXPECT_EQ(dialog.nameFilters().join(QLatin1Char('|')).toStdString(), "S19 Files (*.s19 *.S19)");
    EXPECT_TRUE(dialog.testOption(QFileDialog::HideNameFilterDetails));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Choose an update file"));
}

} // namespace
