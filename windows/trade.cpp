#include "trade.h"

#include "form1.h"

#include <QCloseEvent>
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

Trade::Trade(Form1& board) : QWidget(&board, Qt::Window), board_(board) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Trade"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("Trade"));
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));
    // The captions were measured for a small dialog font; a condensed face keeps them whole.
    QFont small(QStringLiteral("DejaVu Sans Condensed"));
    small.setPointSize(kCaptionPoints);
    setFont(small);

    auto label = [this](const QString& name, const QString& caption, int left, int top, int width,
                        int height) {
        auto* l = new QLabel(caption, this);
        placeTwips(l, left, top, width, height);
        nameControl(l, name, caption);
        return l;
    };
    lblTrader = label(QStringLiteral("lblTrader"), {}, kNameLeft[0], 240, 2535, 495);
    lblTradee = label(QStringLiteral("lblTradee"), {}, kNameLeft[1], 240, 2535, 495);
    QFont nameFont = lblTrader->font();
    nameFont.setBold(true);
    nameFont.setPointSize(nameFont.pointSize() + 4);
    lblTrader->setFont(nameFont);
    lblTradee->setFont(nameFont);

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

        txtMoney[i] = new QLineEdit(this);
        placeTwips(txtMoney[i], kFieldLeft[i], 1320, 1455, kFieldHeight);
        nameControl(txtMoney[i], QStringLiteral("txtMoney(%1)").arg(n),
                    QStringLiteral("Add money, side %1").arg(n));
        txtProperty[i] = new QLineEdit(this);
        placeTwips(txtProperty[i], kFieldLeft[i], 1800, 1455, kFieldHeight);
        nameControl(txtProperty[i], QStringLiteral("txtProperty(%1)").arg(n),
                    QStringLiteral("Add property, side %1").arg(n));
        txtMoney[i]->installEventFilter(this);
        txtProperty[i]->installEventFilter(this);

        cmdHelp[i] = makeButton(this, QStringLiteral("cmdHelp(%1)").arg(n), QStringLiteral("?"),
                                {kHelpLeft[i], 1800, 375, kRowHeight});
        connect(cmdHelp[i], &QPushButton::clicked, this, [this] { board_.act(&Game::cmdHelp_Click); });

        lblMoneyOff[i] =
            label(QStringLiteral("lblMoneyOff(%1)").arg(n), {}, kMoneyOffLeft[i], 3840, 1695, kRowHeight);
        for (int k = 0; k < kListLabels; ++k) {
            PropOff[i][static_cast<std::size_t>(k)] =
                label(QStringLiteral("PropOff%1(%2)").arg(n).arg(k), {}, kListLeft[i],
                      kListTop + kListStep * k, 2415, kRowHeight);
        }
    }
    cmdOffer = makeButton(this, QStringLiteral("cmdOffer"), QStringLiteral("Finalize offer"),
                          {2280, 7800, 2655, 615});
    connect(cmdOffer, &QPushButton::clicked, this, [this] {
        const std::string money0 = text(txtMoney[0]);
        const std::string money1 = text(txtMoney[1]);
        board_.act([&](Game& g) { g.cmdOffer_Click(money0, money1); });
    });

    setTabOrder(txtMoney[0], txtProperty[0]);
    setTabOrder(txtProperty[0], cmdHelp[0]);
    setTabOrder(cmdHelp[0], txtMoney[1]);
    setTabOrder(txtMoney[1], txtProperty[1]);
    setTabOrder(txtProperty[1], cmdHelp[1]);
    setTabOrder(cmdHelp[1], cmdOffer);
}

bool Trade::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int code = key == Qt::Key_Return || key == Qt::Key_Enter ? kEnterKey : 0;
        for (int side = 0; side < 2; ++side) {
            const auto i = static_cast<std::size_t>(side);
            if (watched == txtMoney[i]) {
                const std::string typed = text(txtMoney[i]);
                board_.act([&](Game& g) { g.txtMoney_KeyDown(side, code, typed); });
            } else if (watched == txtProperty[i]) {
                const std::string typed = text(txtProperty[i]);
                board_.act([&](Game& g) { g.txtProperty_KeyDown(side, code, typed); });
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Trade::draw(const GameState& state) {
    const TradeView& view = state.trade;
    auto set = [](QLabel* l, const QString& t) {
        l->setText(t);
        l->setAccessibleName(t);
    };
    set(lblTrader, qs(view.lblTrader));
    set(lblTradee, qs(view.lblTradee));
    for (std::size_t i = 0; i < 2; ++i) {
        set(lblMoneyOff[i], qs(view.moneyOff[i]));
        for (std::size_t k = 0; k < PropOff[i].size(); ++k) {
            const OfferedSquare& offered = view.propOff[i][k];
            set(PropOff[i][k], labelText(offered.text));
            PropOff[i][k]->setProperty("tag",
                                       offered.text.empty() ? QString() : qs(Game::showNumber(offered.tag)));
        }
    }
}

void Trade::closeEvent(QCloseEvent* event) {
    emit closedByUser();
    event->accept();
}

} // namespace dealbrix
