#include "qt_ui.h"

#include "widgets.h"

#include <QTimer>

namespace dealbrix {

QtUi::QtUi(std::function<void()> endProgram, BoxRunner runner)
    : endProgram_(std::move(endProgram)), runner_(std::move(runner)) {
    if (!runner_)
        runner_ = [](QMessageBox& box) { return static_cast<QMessageBox::StandardButton>(box.exec()); };
}

void QtUi::setSelfClosing(std::function<bool(const Box&)> closesItself, int delayMs) {
    closesItself_ = std::move(closesItself);
    selfCloseDelayMs_ = delayMs;
}

QString QtUi::factsText(const Box& box) {
    if (!box.facts) return {};
    const MoneyFacts& f = *box.facts;
    const auto dollars = [](int amount) { return QStringLiteral("$%1").arg(amount); };
    QStringList lines;
    if (box.kind == BoxKind::PurchaseOffer) {
        lines << QStringLiteral("Price: %1").arg(dollars(f.price));
        lines << (f.rentNow > 0
                      ? QStringLiteral("Rent once bought: %1").arg(dollars(f.rentNow))
                      : QStringLiteral("Rent once bought: the dice total times the utility's multiplier"));
        lines << QStringLiteral("Cash after buying: %1").arg(dollars(f.cashAfter));
    } else {
        lines << QStringLiteral("House price: %1").arg(dollars(f.price));
        lines << QStringLiteral("Houses there now: %1").arg(f.houses);
        lines << QStringLiteral("Rent now: %1, afterwards: %2").arg(dollars(f.rentNow), dollars(f.rentAfter));
        lines << QStringLiteral("Cash afterwards: %1").arg(dollars(f.cashAfter));
    }
    return lines.join(QLatin1Char('\n'));
}

QMessageBox::StandardButton QtUi::show(const Box& box, QMessageBox::StandardButtons buttons,
                                       bool closesItself, bool ownQuestion) {
    // The program's own questions come before any game window is redrawn or moved.
    if (beforeBox_ && !ownQuestion) beforeBox_();
    QMessageBox shown(QMessageBox::NoIcon, box.title.empty() ? QString(kProgramName) : toQString(box.title),
                      toQString(box.text), buttons, parent_);
    shown.setTextFormat(Qt::PlainText);
    shown.setAccessibleName(shown.windowTitle());
    const QString facts = factsText(box);
    if (!facts.isEmpty()) shown.setInformativeText(facts);
    shown.setAccessibleDescription(shown.text());
    if (placement_ && !ownQuestion) placement_(shown, box);
    // The timer belongs to the box: a box closed sooner takes its timer with it.
    if (closesItself)
        QTimer::singleShot(selfCloseDelayMs_, &shown, [&shown] { shown.done(QMessageBox::Ok); });
    return runner_(shown);
}

void QtUi::inform(const QString& text) {
    show({.text = text.toStdString()}, QMessageBox::Ok, false);
}

bool QtUi::confirm(const QString& text) {
    return show({.text = text.toStdString()}, QMessageBox::Yes | QMessageBox::No, false, true) ==
           QMessageBox::Yes;
}

void QtUi::tell(const Box& box) {
    show(box, QMessageBox::Ok, closesItself_ && closesItself_(box));
}

bool QtUi::ask(const Box& question) {
    return show(question, QMessageBox::Yes | QMessageBox::No, false) == QMessageBox::Yes;
}

int QtUi::askAmount(const Box& question) {
    if (beforeBox_) beforeBox_();
    return amountAsker_ ? amountAsker_(question) : 0;
}

void QtUi::endProgram() {
    endProgram_();
}

} // namespace dealbrix
