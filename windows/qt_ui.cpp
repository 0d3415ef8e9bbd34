#include "qt_ui.h"

namespace dealbrix {

namespace {
QString toQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

QtUi::QtUi(std::function<void()> endProgram, BoxRunner runner)
    : endProgram_(std::move(endProgram)), runner_(std::move(runner)) {
    if (!runner_)
        runner_ = [](QMessageBox& box) { return static_cast<QMessageBox::StandardButton>(box.exec()); };
}

QMessageBox::StandardButton QtUi::show(std::string_view text, std::string_view title,
                                       QMessageBox::StandardButtons buttons) {
    if (beforeBox_) beforeBox_();
    QMessageBox box(QMessageBox::NoIcon, title.empty() ? QString(kProgramName) : toQt(title), toQt(text),
                    buttons, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setAccessibleName(box.windowTitle());
    box.setAccessibleDescription(box.text());
    return runner_(box);
}

void QtUi::message(std::string_view text, std::string_view title) {
    show(text, title, QMessageBox::Ok);
}

bool QtUi::ask(std::string_view text, std::string_view title) {
    return show(text, title, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtUi::endProgram() {
    endProgram_();
}

} // namespace dealbrix
