#pragma once
// The Game Log window: every box and answer of the game so far, one line each, read-only.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

#include <string>
#include <vector>

namespace dealbrix {

/// A top-level window titled "Game Log" holding the log's lines in a read-only, selectable text view,
/// and under it a chat line, usable only in a network game.
class GameLogWindow final : public QWidget {
    Q_OBJECT
  public:
    /// Shows `lines` (the log so far); later lines come through `append`.
    explicit GameLogWindow(const std::vector<std::string>& lines, QWidget* parent = nullptr);

    /// Shows `lines` in place of everything shown so far (an opened saved game's log).
    void setLines(const std::vector<std::string>& lines);
    /// Adds one line at the end and announces it to assistive technology.
    void append(const std::string& line);
    /// Writes the last line anew (a repeated debt hold's count).
    void replaceLast(const std::string& line);
    /// Enables or disables the chat line (a network game has one; a local game none to send to).
    void setChatEnabled(bool enabled);
    /// The text view (for tests).
    QPlainTextEdit* view() const { return view_; }
    /// The chat line (for tests).
    QLineEdit* chatLine() const { return chat_; }

  signals:
    /// Enter in the chat line with some text in it; the line is emptied.
    void chatEntered(const QString& text);

  private:
    QPlainTextEdit* view_;
    QLineEdit* chat_;
};

} // namespace dealbrix
