#include "ui/components/Dialogs.h"
#include "ui/components/DialogHooks.h"
#include "ui/components/FileDialog.h"

#include "ModalDialogs.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using velmora::testing::pressOpen;
using velmora::testing::whenModalShows;
using velmora::ui::DialogHooks;
using velmora::ui::Dialogs;
using velmora::ui::FileDialog;

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

struct FilterCase {
    std::string name;
    QString filterList;
    QString qtFilter;
};

void PrintTo(const FilterCase& c, std::ostream* os) {
    *os << c.name;
}

class FilterConversion : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterConversion, becomesQtsSyntax) {
    EXPECT_EQ(FileDialog::toQtFilter(GetParam().filterList), GetParam().qtFilter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterConversion,
    ::testing::Values(FilterCase{"plotFiles", "Plot file|*.plt|All files|*.*",
                                 "Plot file (*.plt);;All files (*)"},
                      FilterCase{"severalPatterns", "Pictures|*.png;*.jpg", "Pictures (*.png *.jpg)"},
                      FilterCase{"descriptionWithoutPattern", "Plot file|*.plt|Other", "Plot file (*.plt)"},
                      FilterCase{"emptyPattern", "Nothing||Plot file|*.plt", "Plot file (*.plt)"},
                      FilterCase{"empty", "", ""}),
    [](const ::testing::TestParamInfo<FilterCase>& p) { return p.param.name; });

TEST(DialogHooks, recordMessagesAndAnswerFileDialogsInOrder) {
    DialogHooks::Scope hooks;
    Dialogs::message(nullptr, QString::fromUtf8("לא נקבא מכונ העתקות!"));
    Dialogs::message(nullptr, "Problems of Internet!!!");
    EXPECT_EQ(DialogHooks::shownMessages(),
              (QStringList{QString::fromUtf8("לא נקבא מכונ העתקות!"), "Problems of Internet!!!"}));

    DialogHooks::setNextFiles({"/plots/A1.PLT", "/plots/B2.PLT"});
    DialogHooks::setNextCancel();
    EXPECT_EQ(Dialogs::openFiles(nullptr), (QStringList{"/plots/A1.PLT", "/plots/B2.PLT"}));
    EXPECT_EQ(Dialogs::openFiles(nullptr), QStringList());
    EXPECT_EQ(Dialogs::openFiles(nullptr), QStringList()); // nothing queued: cancelled
    EXPECT_EQ(DialogHooks::shownFileDialogs(), QStringList(3, "Plot file (*.plt);;All files (*)"));
}

TEST(DialogHooks, aScopeLeavesNothingBehind) {
    {
        DialogHooks::Scope hooks;
        Dialogs::message(nullptr, "x");
        DialogHooks::setNextFiles({"/a.plt"});
    }
    EXPECT_FALSE(DialogHooks::active());
    EXPECT_TRUE(DialogHooks::shownMessages().isEmpty());
    DialogHooks::Scope again;
    EXPECT_EQ(Dialogs::openFiles(nullptr), QStringList());
}

// Without hooks the real box comes up: modal, OK only, the program's name as title, right to left.
TEST(Dialogs, theMessageBoxIsModalWithOkOnlyAndRightToLeft) {
    const QString text = QString::fromUtf8("[אין קשר]טעות! תלחץ עוד פעם!");
    bool seen = false;
    whenModalShows<QMessageBox>([&](QMessageBox* box) {
        seen = true;
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(box->windowTitle(), "Velmora");
        EXPECT_EQ(box->layoutDirection(), Qt::RightToLeft);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    Dialogs::message(nullptr, text);
    EXPECT_TRUE(seen);
}

// The dialog's entry for a file name, once the dialog's model has read the directory.
QModelIndex entryFor(const QAbstractItemView* view, const QString& name) {
    const QAbstractItemModel* model = view->model();
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        const QModelIndex entry = model->index(row, 0, view->rootIndex());
        if (entry.data().toString() == name)
            return entry;
    }
    return {};
}

// The real dialog offers the two filters, and several existing files are chosen in its file view
// as a user chooses them: a click on one, a Ctrl+click on another.
TEST(Dialogs, theFileDialogTakesSeveralPlotFilesChosenWithTheMouse) {
    QTemporaryDir dir;
    for (const char* name : {"A1.PLT", "B 2.plt", "C3.plt"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    whenModalShows<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->nameFilters(), (QStringList{"Plot file (*.plt)", "All files (*)"}));
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        dialog->setDirectory(dir.path());
        // The list or the details view, whichever the dialog shows.
        QAbstractItemView* view = nullptr;
        for (QAbstractItemView* candidate : dialog->findChildren<QAbstractItemView*>()) {
            if (candidate->isVisible() &&
                (candidate->objectName() == u"listView" || candidate->objectName() == u"treeView"))
                view = candidate;
        }
        QModelIndex first, second;
        // The file system model lists the folder in a thread of its own: slow on a loaded machine.
        const bool listed = view && QTest::qWaitFor(
                                        [&] {
                                            first = entryFor(view, "A1.PLT");
                                            second = entryFor(view, "B 2.plt");
                                            return first.isValid() && second.isValid();
                                        },
                                        20000);
        EXPECT_TRUE(listed) << "the dialog does not list the two files";
        if (listed) {
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(first).center());
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              view->visualRect(second).center());
        }
        pressOpen(dialog);
    });
    QStringList chosen = Dialogs::openFiles(nullptr);
    chosen.sort();
    EXPECT_EQ(chosen, (QStringList{dir.filePath("A1.PLT"), dir.filePath("B 2.plt")}));
}

TEST(Dialogs, aCancelledFileDialogChoosesNothing) {
    whenModalShows<QFileDialog>([](QFileDialog* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    EXPECT_EQ(Dialogs::openFiles(nullptr), QStringList());
}

} // namespace
