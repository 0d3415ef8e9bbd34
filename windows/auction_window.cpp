#include "auction_window.h"

#include "widgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace dealbrix {

namespace {
constexpr int kTitlePoints = 18;
constexpr int kTextPoints = 10;
constexpr std::array<int, 3> kRaises{10, 50, 100};

QLabel* namedLabel(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    nameControl(label, name, text);
    label->setAlignment(Qt::AlignCenter);
    return label;
}
} // namespace

AuctionWindow::AuctionWindow(const GameState& state, const Box& question, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Auction"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("Auction"));
    setModal(true);
    setFont(gameFont(kTextPoints));
    const AuctionView& auction = state.auction;
    const int square = isOwnable(question.square) ? question.square : auction.square;

    auto* title = namedLabel(this, QStringLiteral("lblAuctionSquare"), labelText(squareTitle(square)));
    title->setFont(gameFont(kTitlePoints));
    title->setAutoFillBackground(true);
    if (isOwnable(square)) {
        QPalette colour = title->palette();
        const QColor group = toQColor(groupColour(square));
        colour.setColor(QPalette::Window, group);
        colour.setColor(QPalette::WindowText, captionColourOn(group));
        title->setPalette(colour);
    }
    const QString bidder = QStringLiteral("Player %1's bid").arg(question.seat);
    auto* whose = namedLabel(this, QStringLiteral("lblAuctionBidder"), bidder);
    const QString high =
        auction.highBidder == 0
            ? QStringLiteral("No bid yet")
            : QStringLiteral("High bid: $%1 by Player %2").arg(auction.highBid).arg(auction.highBidder);
    auto* highBid = namedLabel(this, QStringLiteral("lblAuctionHighBid"), high);
    status_ = namedLabel(this, QStringLiteral("lblAuctionCash"),
                         QStringLiteral("Bids from $%1 to $%2").arg(question.minimum).arg(question.maximum));

    amount_ = new QSpinBox(this);
    nameControl(amount_, QStringLiteral("txtAuctionAmount"), QStringLiteral("Bid amount"));
    amount_->setPrefix(QStringLiteral("$"));
    amount_->setRange(question.minimum, std::max(question.minimum, question.maximum));
    amount_->setValue(question.minimum);
    auto* raises = new QHBoxLayout;
    for (std::size_t k = 0; k < kRaises.size(); ++k) {
        const QString caption = QStringLiteral("+%1").arg(kRaises[k]);
        auto* raise = new QPushButton(caption, this);
        nameControl(raise, QStringLiteral("cmdAuctionRaise%1").arg(kRaises[k]),
                    QStringLiteral("Raise the bid by %1").arg(kRaises[k]));
        raise->setAutoDefault(false);
        // The field keeps the amount within the bidder's cash.
        connect(raise, &QPushButton::clicked, this,
                [this, step = kRaises[k]] { amount_->setValue(amount_->value() + step); });
        raises->addWidget(raise);
        raises_[k] = raise;
    }
    bid_ = new QPushButton(QStringLiteral("Bid"), this);
    nameControl(bid_, QStringLiteral("cmdAuctionBid"), QStringLiteral("Bid"));
    bid_->setDefault(true);
    pass_ = new QPushButton(QStringLiteral("Pass"), this);
    nameControl(pass_, QStringLiteral("cmdAuctionPass"), QStringLiteral("Pass"));
    pass_->setAutoDefault(false);
    connect(bid_, &QPushButton::clicked, this, &QDialog::accept);
    connect(pass_, &QPushButton::clicked, this, &QDialog::reject);
    auto* answers = new QHBoxLayout;
    answers->addWidget(bid_);
    answers->addWidget(pass_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(whose);
    layout->addWidget(highBid);
    layout->addWidget(status_);
    layout->addWidget(amount_);
    layout->addLayout(raises);
    layout->addLayout(answers);
    // A bidder who cannot bid at all (the rules never ask one) can only pass.
    const bool canBid = question.maximum >= question.minimum && question.minimum > 0;
    bid_->setEnabled(canBid);
    amount_->setEnabled(canBid);
    for (QPushButton* raise : raises_)
        raise->setEnabled(canBid);
    amount_->setFocus();
}

int AuctionWindow::ask() {
    return exec() == QDialog::Accepted ? amount() : 0;
}

void AuctionWindow::showChosen(int amount) {
    if (amount > 0) amount_->setValue(amount);
    status_->setText(amount > 0 ? QStringLiteral("Bids $%1").arg(amount) : QStringLiteral("Passes"));
    status_->setAccessibleName(status_->text());
    for (QWidget* control : {static_cast<QWidget*>(amount_), static_cast<QWidget*>(bid_),
                             static_cast<QWidget*>(pass_), static_cast<QWidget*>(raises_[0]),
                             static_cast<QWidget*>(raises_[1]), static_cast<QWidget*>(raises_[2])})
        control->setEnabled(false);
}

} // namespace dealbrix
