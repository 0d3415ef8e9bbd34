#pragma once
// Help for a newcomer: the How to Play window and the About box.

#include <QTextBrowser>
#include <QWidget>

namespace dealbrix {

/// The rules as this game plays them, with the keys, as rich text; `houseRules` (a sentence per rule
/// chosen, may be empty) is added where the table plays house rules.
QString howToPlayText(const QStringList& houseRules = {});

/// A top-level window titled "How to Play" holding howToPlayText in a read-only browser.
class HowToPlayWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit HowToPlayWindow(QWidget* parent = nullptr);
    /// Shows the rules with `houseRules` (the table's house rules now).
    void setHouseRules(const QStringList& houseRules);
    QTextBrowser* text() const { return text_; }

  private:
    QTextBrowser* text_;
};

/// The text of About Dealbrix: the version, the licence and the project's page.
QString aboutText(const QString& version);

} // namespace dealbrix
