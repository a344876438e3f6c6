#include "ui/components/EditCombo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using velmora::ui::EditCombo;

namespace {

// The list inside a shown window, with a second control to move the focus to, filled with three
// entries the way the program fills its lists.
struct ComboWindow {
    ComboWindow() {
        auto* layout = new QVBoxLayout(&window);
        combo = new EditCombo(&window);
        other = new QLineEdit(&window);
        layout->addWidget(combo);
        layout->addWidget(other);
        window.show();
        window.activateWindow();
        [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(&window);
        for (const char* entry : {"Alpha", "Beta", "Gamma"})
            combo->AddItem(QString::fromLatin1(entry));
        clicks = std::make_unique<QSignalSpy>(combo, &EditCombo::Click);
    }

    void type(const QString& text) {
        combo->lineEdit()->setFocus();
        QTest::keyClicks(combo->lineEdit(), text);
    }
    void key(Qt::Key k) { QTest::keyClick(combo->lineEdit(), k); }
    void leave() { other->setFocus(); }
    void chooseFromDropDown(int index) {
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        const QRect cell = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    }

    QWidget window;
    EditCombo* combo;
    QLineEdit* other;
    std::unique_ptr<QSignalSpy> clicks;
};

struct Step {
    std::string what;
    std::function<void(ComboWindow&)> run;
};

Step setIndex(int i) {
    return {"setListIndex(" + std::to_string(i) + ")", [i](ComboWindow& w) {
                w.combo->setListIndex(i);
            }};
}
Step type(const char* text) {
    return {std::string("type ") + text, [text](ComboWindow& w) {
                w.type(QString::fromUtf8(text));
            }};
}
Step key(Qt::Key k, const char* name) {
    return {std::string("key ") + name, [k](ComboWindow& w) {
                w.key(k);
            }};
}
Step leave() {
    return {"focus leaves", [](ComboWindow& w) {
                w.leave();
            }};
}
Step setText(const char* text) {
    return {std::string("setText ") + text, [text](ComboWindow& w) {
                w.combo->setText(QString::fromUtf8(text));
            }};
}
Step add(const char* entry) {
    return {std::string("AddItem ") + entry, [entry](ComboWindow& w) {
                w.combo->AddItem(QString::fromUtf8(entry));
            }};
}
Step clear() {
    return {"Clear", [](ComboWindow& w) {
                w.combo->Clear();
            }};
}
Step dropDown(int i) {
    return {"choose from drop-down " + std::to_string(i), [i](ComboWindow& w) {
                w.chooseFromDropDown(i);
            }};
}
Step arrowDown() {
    return {"arrow down on the list", [](ComboWindow& w) {
                QTest::keyClick(w.combo, Qt::Key_Down);
            }};
}

struct ComboCase {
    std::string name;
    std::vector<Step> steps;
    QString text;
    int index;
    int clicks;
    int count = 3;
};

void PrintTo(const ComboCase& c, std::ostream* os) {
    *os << c.name << ":";
    for (const Step& s : c.steps)
        *os << " [" << s.what << "]";
}

class EditComboRules : public ::testing::TestWithParam<ComboCase> {};

TEST_P(EditComboRules, endsWithTextIndexAndClicks) {
    ComboWindow w;
    for (const Step& step : GetParam().steps)
        step.run(w);
    EXPECT_EQ(w.combo->Text(), GetParam().text);
    EXPECT_EQ(w.combo->ListIndex(), GetParam().index);
    EXPECT_EQ(w.clicks->count(), GetParam().clicks);
    EXPECT_EQ(w.combo->ListCount(), GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, EditComboRules,
    ::testing::Values(
        // Filling
        ComboCase{"fillingChoosesNothing", {}, "", -1, 0},
        ComboCase{"addingKeepsTheEditText", {setText("typed"), add("Delta")}, "typed", -1, 0, 4},
        ComboCase{"addingKeepsTheChoice", {setIndex(1), add("Delta")}, "Beta", 1, 1, 4},
        ComboCase{"clearEmptiesTextAndChoice", {setIndex(2), clear()}, "", -1, 1, 0},
        ComboCase{"addingAfterClearChoosesNothing", {setIndex(2), clear(), add("Delta")}, "", -1, 1, 1},
        ComboCase{"addingToAnEmptiedListKeepsTypedText", {clear(), type("De"), add("Delta")}, "De", -1, 0, 1},
        // The program choosing
        ComboCase{"setIndexChooses", {setIndex(1)}, "Beta", 1, 1},
        ComboCase{"setIndexAgainClicksAgain", {setIndex(1), setIndex(1)}, "Beta", 1, 2},
        ComboCase{"setIndexRestoresTheEntryAfterTyping", {setIndex(1), type("x"), setIndex(1)}, "Beta", 1, 2},
        ComboCase{"setIndexMinusOneChoosesNothing", {setIndex(1), setIndex(-1)}, "", -1, 1},
        ComboCase{"setIndexOutOfRangeChangesNothing", {setIndex(1), setIndex(3), setIndex(-2)}, "Beta", 1, 1},
        ComboCase{"setTextCountsAsTyping", {setIndex(2), setText("Gamma")}, "Gamma", -1, 1},
        // The user typing
        ComboCase{"typingAnEntrysTextIsNoChoice", {type("Beta")}, "Beta", -1, 0},
        ComboCase{"typingAnEntrysTextAndEnter", {type("Beta"), key(Qt::Key_Return, "Enter")}, "Beta", -1, 0},
        ComboCase{"typingAnEntrysTextAndLeaving", {type("Gamma"), leave()}, "Gamma", -1, 0},
        // A chosen entry shows from its start, with the cursor there; End moves it behind.
        ComboCase{"typingAfterAChoice", {setIndex(0), key(Qt::Key_End, "End"), type("!")}, "Alpha!", -1, 1},
        ComboCase{"typingAfterAChoiceWritesAtItsStart", {setIndex(0), type("!")}, "!Alpha", -1, 1},
        ComboCase{"erasingBackToTheEntry",
                  {setIndex(0), type("x"), key(Qt::Key_Backspace, "Backspace")},
                  "Alpha",
                  -1,
                  1},
        ComboCase{"typingAPrefixCompletesNothing", {type("Ga"), leave()}, "Ga", -1, 0},
        // The user choosing
        ComboCase{"dropDownChoice", {dropDown(2)}, "Gamma", 2, 1},
        ComboCase{
            "dropDownChoiceOfTheSameEntryAfterTyping", {setIndex(2), type("x"), dropDown(2)}, "Gamma", 2, 2},
        ComboCase{"dropDownChoiceAfterTypingAnotherEntry", {type("Alpha"), dropDown(1)}, "Beta", 1, 1},
        ComboCase{"keyboardChoice", {setIndex(0), arrowDown()}, "Beta", 1, 2}),
    [](const ::testing::TestParamInfo<ComboCase>& p) { return p.param.name; });

TEST(EditCombo, entriesKeepTheOrderTheyWereAddedIn) {
    EditCombo combo;
    for (const char* entry : {"tel aviv", "Haifa", "haifa", "Haifa", "אשדוד", " Eilat"})
        combo.AddItem(QString::fromUtf8(entry));
    ASSERT_EQ(combo.ListCount(), 6);
    EXPECT_EQ(combo.List(0), "tel aviv");
    EXPECT_EQ(combo.List(2), "haifa");
    EXPECT_EQ(combo.List(3), "Haifa");
    EXPECT_EQ(combo.List(4), QString::fromUtf8("אשדוד"));
    EXPECT_EQ(combo.List(5), " Eilat");
    EXPECT_EQ(combo.List(6), "");
    EXPECT_EQ(combo.List(-1), "");
}

// The print-shop list runs its reaction on every choice; the reaction sees the new entry.
TEST(EditCombo, theChoiceNotificationSeesTheChosenEntry) {
    EditCombo combo;
    combo.AddItem("A kod001");
    combo.AddItem("B kod002");
    QStringList seen;
    QObject::connect(&combo, &EditCombo::Click,
                     [&] { seen << combo.Text() + "/" + QString::number(combo.ListIndex()); });
    combo.setListIndex(1);
    combo.setListIndex(0);
    EXPECT_EQ(seen, (QStringList{"B kod002/1", "A kod001/0"}));
}

} // namespace
