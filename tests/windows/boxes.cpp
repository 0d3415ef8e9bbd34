#include "boxes.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace dealbrix::testing {

void ScriptedBoxes::expect(std::vector<ExpectedBox> boxes) {
    for (ExpectedBox& box : boxes)
        script_.push_back(std::move(box));
}

QtUi::BoxRunner ScriptedBoxes::runner() {
    return [this](QMessageBox& box) { return answer(box); };
}

QMessageBox::StandardButton ScriptedBoxes::answer(QMessageBox& box) {
    const std::string text = box.text().toStdString();
    shown_.push_back(text);
    places_.push_back(box.testAttribute(Qt::WA_Moved) ? QRect(box.pos(), box.size()) : QRect());
    informative_.push_back(box.informativeText());
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected box: \"" << text << "\"";
        return QMessageBox::No;
    }
    const ExpectedBox expected = script_.front();
    script_.pop_front();
    EXPECT_EQ(expected.text, text);
    EXPECT_EQ(QString::fromStdString(expected.title.empty() ? std::string(kProgramName) : expected.title),
              box.windowTitle());
    const auto buttons = box.standardButtons();
    if (expected.kind == ExpectedBox::Question) {
        EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No) << text;
        return expected.answer ? QMessageBox::Yes : QMessageBox::No;
    }
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok)) << text;
    return QMessageBox::Ok;
}

Windows::Windows()
    : random(ScriptedRandom::withDecksInOrder()), ui([this] { programEnded = true; }, boxes.runner()),
      game(ui, random), board(game, ui) {
    board.showWithGrid();
}

void Windows::menu(const char* objectName) {
    auto* action = board.findChild<QAction*>(QString::fromLatin1(objectName));
    ASSERT_NE(action, nullptr) << objectName;
    action->trigger();
    QCoreApplication::processEvents(); // menu commands run once the menu has closed
}

void Windows::start(int players) {
    menu(QStringLiteral("mnuFilePlayers%1Players").arg(players).toLatin1().constData());
    menu("mnuFileStart");
}

void Windows::click(QWidget* window, const char* objectName) {
    ASSERT_NE(window, nullptr);
    auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(objectName));
    ASSERT_NE(button, nullptr) << objectName;
    QTest::mouseClick(button, Qt::LeftButton);
}

void own(Windows& w, int square, int player, bool mortgaged) {
    w.s().owners[square] = static_cast<i16>(mortgaged ? player + kPlayerCount : player);
    w.s().pricePaid[square] = squareInfo(square).price;
    w.s().grid.ticked[player][square] = true;
    w.board.syncAll();
}

QStringList tabOrder(QWidget* first) {
    QStringList names;
    QWidget* w = first;
    do {
        if (w->focusPolicy() & Qt::TabFocus) names << w->objectName();
        w = w->nextInFocusChain();
    } while (w != first);
    return names;
}

} // namespace dealbrix::testing
