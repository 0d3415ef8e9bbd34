#pragma once
// Help for a newcomer: the How to Play window and the About box.

#include "house_rules.h"

#include <QTextBrowser>
#include <QWidget>

#include <optional>

namespace dealbrix {

/// The rules as this game plays them, with the keys, as rich text, ending with the house rules of
/// this game: `houseRules` holds a sentence per rule chosen, or is empty when none is.
QString howToPlayText(const QStringList& houseRules = {});

/// The sentences How to Play gives for `rules`: each chosen rule's, as the Rules window words it, and
/// the starting money when it is not the usual one. Empty for the game as it always was.
QStringList houseRuleSentences(const HouseRules& rules);

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
    std::optional<QStringList> shown_; // the house rules shown now; nothing before the first
};

/// The text of About Dealbrix: the version, the licence and the project's page.
QString aboutText(const QString& version);

} // namespace dealbrix
