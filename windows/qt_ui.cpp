#include "qt_ui.h"

#include "widgets.h"

namespace dealbrix {

QtUi::QtUi(std::function<void()> endProgram, BoxRunner runner)
    : endProgram_(std::move(endProgram)), runner_(std::move(runner)) {
    if (!runner_)
        runner_ = [](QMessageBox& box) { return static_cast<QMessageBox::StandardButton>(box.exec()); };
}

QMessageBox::StandardButton QtUi::show(const Box& box, QMessageBox::StandardButtons buttons) {
    if (beforeBox_) beforeBox_();
    QMessageBox shown(QMessageBox::NoIcon, box.title.empty() ? QString(kProgramName) : toQString(box.title),
                      toQString(box.text), buttons, parent_);
    shown.setTextFormat(Qt::PlainText);
    shown.setAccessibleName(shown.windowTitle());
    shown.setAccessibleDescription(shown.text());
    if (placement_) placement_(shown, box);
    return runner_(shown);
}

void QtUi::inform(const QString& text) {
    show({.text = text.toStdString()}, QMessageBox::Ok);
}

void QtUi::tell(const Box& box) {
    show(box, QMessageBox::Ok);
}

bool QtUi::ask(const Box& question) {
    return show(question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtUi::endProgram() {
    endProgram_();
}

} // namespace dealbrix
