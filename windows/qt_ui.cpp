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

QMessageBox::StandardButton QtUi::show(const Box& box, QMessageBox::StandardButtons buttons,
                                       bool closesItself) {
    if (beforeBox_) beforeBox_();
    QMessageBox shown(QMessageBox::NoIcon, box.title.empty() ? QString(kProgramName) : toQString(box.title),
                      toQString(box.text), buttons, parent_);
    shown.setTextFormat(Qt::PlainText);
    shown.setAccessibleName(shown.windowTitle());
    shown.setAccessibleDescription(shown.text());
    if (placement_) placement_(shown, box);
    // The timer belongs to the box: a box closed sooner takes its timer with it.
    if (closesItself)
        QTimer::singleShot(selfCloseDelayMs_, &shown, [&shown] { shown.done(QMessageBox::Ok); });
    return runner_(shown);
}

void QtUi::inform(const QString& text) {
    show({.text = text.toStdString()}, QMessageBox::Ok, false);
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
