#include "trade_window.h"

#include "board_window.h"

#include <QKeyEvent>

namespace dealbrix {

namespace {
constexpr int kClientWidth = 8085;
constexpr int kClientHeight = 8655;
constexpr int kListLabels = 7;
constexpr int kListTop = 4320;
constexpr int kListStep = 480;
constexpr int kRowHeight = 255;
constexpr int kFieldHeight = 285;
constexpr int kCaptionPoints = 8;
// Left of each element in the two mirrored columns, side 0 then side 1.
constexpr std::array<int, 2> kNameLeft{360, 4440};
constexpr std::array<int, 2> kCaptionLeft{240, 4320};
constexpr std::array<int, 2> kFieldLeft{1440, 5400};
constexpr std::array<int, 2> kHelpLeft{3000, 6960};
constexpr std::array<int, 2> kOfferLeft{1080, 5520};
constexpr std::array<int, 2> kMoneyCaptionLeft{360, 4440};
constexpr std::array<int, 2> kMoneyOffLeft{1320, 5400};
constexpr std::array<int, 2> kListLeft{360, 4560};

std::string text(const QLineEdit* field) {
    return field->text().toStdString();
}
} // namespace

TradeWindow::TradeWindow(BoardWindow& board) : SecondaryWindow(&board), board_(board) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Trade"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("Trade"));
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));
    setFont(gameFont(kCaptionPoints));

    auto label = [this](const QString& name, const QString& caption, int left, int top, int width,
                        int height) {
        auto* l = new QLabel(caption, this);
        placeTwips(l, left, top, width, height);
        nameControl(l, name, caption);
        return l;
    };
    traderName_ = label(QStringLiteral("lblTrader"), {}, kNameLeft[0], 240, 2535, 495);
    partnerName_ = label(QStringLiteral("lblTradee"), {}, kNameLeft[1], 240, 2535, 495);
    QFont nameFont = traderName_->font();
    nameFont.setBold(true);
    nameFont.setPointSize(nameFont.pointSize() + 4);
    traderName_->setFont(nameFont);
    partnerName_->setFont(nameFont);

    for (int side = 0; side < 2; ++side) {
        const auto i = static_cast<std::size_t>(side);
        const QString n = QString::number(side);
        label(QStringLiteral("Label1(%1)").arg(n), QStringLiteral("Add money:"), kCaptionLeft[i], 1320, 975,
              kRowHeight);
        label(QStringLiteral("Label2(%1)").arg(n), QStringLiteral("Add property:"), kCaptionLeft[i], 1800,
              1095, kRowHeight);
        label(QStringLiteral("Label3(%1)").arg(n), QStringLiteral("Offer:"), kOfferLeft[i], 3120, 735,
              kRowHeight);
        label(side == 0 ? QStringLiteral("Label4") : QStringLiteral("Label5"), QStringLiteral("Money:"),
              kMoneyCaptionLeft[i], 3840, 855, kRowHeight);

        moneyFields_[i] = new QLineEdit(this);
        placeTwips(moneyFields_[i], kFieldLeft[i], 1320, 1455, kFieldHeight);
        nameControl(moneyFields_[i], QStringLiteral("txtMoney(%1)").arg(n),
                    QStringLiteral("Add money, side %1").arg(n));
        squareFields_[i] = new QLineEdit(this);
        placeTwips(squareFields_[i], kFieldLeft[i], 1800, 1455, kFieldHeight);
        nameControl(squareFields_[i], QStringLiteral("txtProperty(%1)").arg(n),
                    QStringLiteral("Add property, side %1").arg(n));
        moneyFields_[i]->installEventFilter(this);
        squareFields_[i]->installEventFilter(this);

        helpButtons_[i] = makeButton(this, QStringLiteral("cmdHelp(%1)").arg(n), QStringLiteral("?"),
                                     {kHelpLeft[i], 1800, 375, kRowHeight});
        connect(helpButtons_[i], &QPushButton::clicked, this, [this] { board_.act(Action::tradeHelp()); });

        moneyOffered_[i] =
            label(QStringLiteral("lblMoneyOff(%1)").arg(n), {}, kMoneyOffLeft[i], 3840, 1695, kRowHeight);
        for (int k = 0; k < kListLabels; ++k) {
            offeredSquares_[i][static_cast<std::size_t>(k)] =
                label(QStringLiteral("PropOff%1(%2)").arg(n).arg(k), {}, kListLeft[i],
                      kListTop + kListStep * k, 2415, kRowHeight);
        }
    }
    offerButton_ = makeButton(this, QStringLiteral("cmdOffer"), QStringLiteral("Finalize offer"),
                              {2280, 7800, 2655, 615});
    connect(offerButton_, &QPushButton::clicked, this, [this] {
        const std::string money0 = text(moneyFields_[0]);
        const std::string money1 = text(moneyFields_[1]);
        board_.act(Action::finalizeOffer(money0, money1));
    });

    setTabOrder(moneyFields_[0], squareFields_[0]);
    setTabOrder(squareFields_[0], helpButtons_[0]);
    setTabOrder(helpButtons_[0], moneyFields_[1]);
    setTabOrder(moneyFields_[1], squareFields_[1]);
    setTabOrder(squareFields_[1], helpButtons_[1]);
    setTabOrder(helpButtons_[1], offerButton_);
}

bool TradeWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Only Enter hands a field's text to the game; every other key just edits the field.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            for (int side = 0; side < 2; ++side) {
                const auto i = static_cast<std::size_t>(side);
                if (watched == moneyFields_[i]) board_.act(Action::enterMoney(side, text(moneyFields_[i])));
                if (watched == squareFields_[i])
                    board_.act(Action::enterSquare(side, text(squareFields_[i])));
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TradeWindow::draw(const GameState& state) {
    const TradeView& view = state.trade;
    auto set = [](QLabel* l, const QString& t) {
        l->setText(t);
        l->setAccessibleName(t);
    };
    set(traderName_, toQString(view.traderName));
    set(partnerName_, toQString(view.partnerName));
    for (std::size_t i = 0; i < 2; ++i) {
        set(moneyOffered_[i], toQString(view.moneyOffered[i]));
        for (std::size_t k = 0; k < offeredSquares_[i].size(); ++k) {
            const OfferedSquare& offered = view.squaresOffered[i][k];
            set(offeredSquares_[i][k], labelText(offered.text));
            offeredSquares_[i][k]->setProperty(
                "tag", offered.text.empty() ? QString() : toQString(Game::showNumber(offered.typed)));
        }
    }
}

void TradeWindow::showTyped(const Action& action) {
    if (action.number != 0 && action.number != 1) return;
    const auto side = static_cast<std::size_t>(action.number);
    if (action.kind == ActionKind::EnterMoney)
        moneyFields_[side]->setText(QString::fromStdString(action.text));
    if (action.kind == ActionKind::EnterSquare)
        squareFields_[side]->setText(QString::fromStdString(action.text));
}

QRect TradeWindow::offerArea() const {
    const QRect frame = frameGeometry();
    const int buttonTop = mapToGlobal(offerButton_->geometry().topLeft()).y();
    return QRect(frame.topLeft(), QPoint(frame.right(), buttonTop - 1));
}

} // namespace dealbrix
