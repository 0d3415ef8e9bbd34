#include "game_log_window.h"

#include "widgets.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

namespace dealbrix {

namespace {
constexpr int kWidthPx = 560;
constexpr int kHeightPx = 360;
constexpr int kMaxChatLength = 200; // characters of one chat message
} // namespace

GameLogWindow::GameLogWindow(const std::vector<std::string>& lines, QWidget* parent)
    : QWidget(parent, Qt::Window), view_(new QPlainTextEdit(this)), chat_(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Game Log"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("GameLog"));
    nameControl(view_, QStringLiteral("GameLogText"), QStringLiteral("Game Log"));
    view_->setReadOnly(true);
    // Read-only still lets the text be selected with the mouse or keyboard and copied.
    view_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QStringList all;
    for (const std::string& line : lines)
        all << toQString(line);
    view_->setPlainText(all.join(QLatin1Char('\n')));
    nameControl(chat_, QStringLiteral("GameLogChat"), QStringLiteral("Chat"));
    chat_->setPlaceholderText(QStringLiteral("Message to the room"));
    chat_->setMaxLength(kMaxChatLength);
    chat_->setEnabled(false);
    connect(chat_, &QLineEdit::returnPressed, this, [this] {
        const QString text = chat_->text().trimmed();
        if (text.isEmpty()) return;
        chat_->clear();
        emit chatEntered(text);
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addWidget(chat_);
    resize(kWidthPx, kHeightPx);
    view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->maximum());
}

void GameLogWindow::setLines(const std::vector<std::string>& lines) {
    view_->clear();
    for (const std::string& line : lines)
        view_->appendPlainText(toQString(line));
}

void GameLogWindow::replaceLast(const std::string& line) {
    QTextCursor cursor(view_->document()->lastBlock());
    cursor.select(QTextCursor::BlockUnderCursor);
    // The first block has no line break before it to keep.
    if (view_->document()->blockCount() > 1) {
        cursor.insertText(QStringLiteral("\n") + toQString(line));
    } else {
        cursor.select(QTextCursor::LineUnderCursor);
        cursor.insertText(toQString(line));
    }
}

void GameLogWindow::setChatEnabled(bool enabled) {
    chat_->setEnabled(enabled);
}

void GameLogWindow::append(const std::string& line) {
    const QString text = toQString(line);
    const int position = static_cast<int>(view_->document()->characterCount()) - 1;
    const bool atEnd = view_->verticalScrollBar()->value() == view_->verticalScrollBar()->maximum();
    view_->appendPlainText(text);
    if (atEnd) view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->maximum());
    QAccessibleTextInsertEvent inserted(view_, position, text);
    QAccessible::updateAccessibility(&inserted);
}

} // namespace dealbrix
