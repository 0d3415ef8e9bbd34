#include "help_windows.h"

#include "widgets.h"

#include <QVBoxLayout>

namespace dealbrix {

namespace {
constexpr int kWidthPx = 620;
constexpr int kHeightPx = 640;
} // namespace

QString howToPlayText(const QStringList& houseRules) {
    QString text = QStringLiteral(
        "<h2>How to Play</h2>"
        "<p>Two to four players share the computer and take turns. Everyone starts with $1500. Buy "
        "streets, railroads and utilities, collect rent from the others, build houses, and trade. When "
        "only one player has not given up, that player wins.</p>"
        "<h3>Starting</h3>"
        "<p>Choose <b>File, New Game...</b> (Ctrl+N) to set the number of players, who plays each seat "
        "(a person, or the computer at Easy, Normal or Hard), if you like a name for each seat, and any "
        "house rules and the starting money, then press Start. You can "
        "also pick a number under <b>File, Players</b> and choose <b>File, Start</b>.</p>"
        "<h3>A turn</h3>"
        "<p>Press <b>Roll</b>. Your token moves round the board by the sum of the two dice. Each time you "
        "pass or land on Go you are paid $200. Then press <b>End Turn</b>. If both dice show the same "
        "number, you roll again after End Turn.</p>"
        "<h3>Where you land</h3>"
        "<ul>"
        "<li><b>A square nobody owns:</b> you are asked whether to buy it at its price.</li>"
        "<li><b>Someone else's square:</b> you pay them rent. Rent rises when one player owns a whole "
        "colour group, and rises a lot with houses on it. Railroads pay more the more of them one player "
        "owns; a utility's rent is the dice total times 4, or times 10 when one player owns both.</li>"
        "<li><b>A mortgaged square</b> earns no rent.</li>"
        "<li><b>Chance and Community Chest</b> give you a card to follow: money, a move, or a card that "
        "gets you out of jail.</li>"
        "<li><b>Income Tax</b> costs $200 and <b>Luxury Tax</b> $75.</li>"
        "<li><b>Go to Jail</b> sends you to Jail. In jail you roll as usual; doubles set you free, and so "
        "does a Get Out of Jail Free card. After three turns you leave anyway.</li>"
        "</ul>"
        "<h3>Houses and mortgages</h3>"
        "<p>Click one of your squares on the board to open <b>House Options</b>. Once you own a whole "
        "colour group, none of it mortgaged, you can buy houses there; the fifth is a hotel. Selling a "
        "house pays back half its price. Mortgaging a square without houses pays you half what it cost; "
        "paying the same back lifts the mortgage.</p>"
        "<h3>Money trouble</h3>"
        "<p>If your money goes below zero, play stops until you raise money (sell houses, mortgage, "
        "trade) or press <b>Bankrupt (Give up)</b>. A player who gives up leaves the game; unmortgaged "
        "squares go back to the bank.</p>"
        "<h3>Trading</h3>"
        "<p>In the <b>Properties</b> window, click the heading of the player you want to trade with. Type "
        "money or square numbers into the fields and press Enter to add them (the <b>?</b> button lists "
        "the square numbers), then press <b>Finalize offer</b>. The other player is asked to accept.</p>"
        "<h3>Keys</h3>"
        "<ul>"
        "<li><b>Tab</b> moves between the buttons and the board; <b>Space</b> or <b>Enter</b> presses "
        "the button or square with the focus.</li>"
        "<li>On the board, the <b>arrow keys</b> step from square to square round the ring.</li>"
        "<li><b>Escape</b> closes House Options and the trade window.</li>"
        "<li><b>Alt+F</b> opens the File menu; <b>Ctrl+N</b> New Game, <b>Ctrl+O</b> Open Game, "
        "<b>Ctrl+S</b> Save Game, <b>Ctrl+L</b> the Game Log.</li>"
        "<li><b>F1</b> opens this help.</li>"
        "</ul>"
        "<h3>Keeping track</h3>"
        "<p>The <b>Game Log</b> lists everything that has happened. <b>Game, Statistics</b> shows how "
        "each player's worth went round by round and which squares were landed on most; <b>Game, Past "
        "Games</b> lists finished games, best first. The game is saved as you play: <b>File, Resume Last "
        "Game</b> brings back an unfinished one.</p>");
    text += QStringLiteral("<h3>House rules in this game</h3>");
    if (houseRules.isEmpty()) {
        text += QStringLiteral("<p>No house rules are chosen for this game: it is played exactly as told "
                               "above. <b>File, New Game...</b> and <b>File, Rules...</b> choose them "
                               "before Start.</p>");
        return text;
    }
    text += QStringLiteral("<ul>");
    for (const QString& rule : houseRules)
        text += QStringLiteral("<li>%1</li>").arg(rule.toHtmlEscaped());
    text += QStringLiteral("</ul>");
    return text;
}

QStringList houseRuleSentences(const HouseRules& rules) {
    QStringList sentences;
    for (const HouseRuleInfo& info : houseRuleTable())
        if (rules.has(info.rule))
            sentences << toQString(info.caption) + QStringLiteral(": ") + toQString(info.sentence);
    if (rules.startingMoney != kStartingMoney)
        sentences << QStringLiteral("Starting money: everyone starts with $%1 instead of $%2.")
                         .arg(rules.startingMoney)
                         .arg(kStartingMoney);
    return sentences;
}

HowToPlayWindow::HowToPlayWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), text_(new QTextBrowser(this)) {
    setWindowTitle(QStringLiteral("How to Play"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("HowToPlay"));
    nameControl(text_, QStringLiteral("howToPlayText"), QStringLiteral("How to Play"));
    text_->setOpenExternalLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    resize(kWidthPx, kHeightPx);
    setHouseRules({});
}

void HowToPlayWindow::setHouseRules(const QStringList& houseRules) {
    // The board redraws after every action; the reader keeps their place unless the rules changed.
    if (shown_ == houseRules) return;
    shown_ = houseRules;
    text_->setHtml(howToPlayText(houseRules));
}

QString aboutText(const QString& version) {
    return QStringLiteral("<h3>Dealbrix %1</h3>"
                          "<p>A board game about buying, renting, building on and trading street properties, "
                          "for two to four players sharing one computer.</p>"
                          "<p>Copyright (c) 2026 The Dealbrix developers. Released under the MIT License.</p>"
                          "<p><a href=\"https://dealbrix.org\">https://dealbrix.org</a></p>")
        .arg(version.toHtmlEscaped());
}

} // namespace dealbrix
