#include "housework.h"

#include "form1.h"

#include <QCloseEvent>

namespace dealbrix {

namespace {
constexpr int kClientWidth = 9330;
constexpr int kClientHeight = 4650;
constexpr int kTitlePoints = 24;
constexpr int kButtonLeft = 960;
constexpr int kButtonWidth = 7095;
constexpr int kButtonHeight = 735;
} // namespace

HouseWork::HouseWork(Form1& board) : QWidget(&board, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("House Options"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("HouseWork"));
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));

    lblTitle = new QLabel(this);
    placeTwips(lblTitle, 1080, 360, 6975, 855);
    lblTitle->setAlignment(Qt::AlignCenter);
    QFont titleFont(QStringLiteral("MS Sans Serif"));
    titleFont.setPointSize(kTitlePoints);
    lblTitle->setFont(titleFont);
    lblTitle->setAutoFillBackground(true);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));

    auto button = [this](const char* name, const char* caption, int top) {
        return makeButton(this, QString::fromLatin1(name), QString::fromLatin1(caption),
                          {kButtonLeft, top, kButtonWidth, kButtonHeight});
    };
    cmdBuyHouse = button("cmdBuyHouse", "Buy House", 1680);
    cmdMortgage = button("cmdMortgage", "Mortgage", 3360);
    cmdSellHouse = button("cmdSellHouse", "Sell House", 2520);
    setTabOrder(cmdBuyHouse, cmdMortgage);
    setTabOrder(cmdMortgage, cmdSellHouse);

    connect(cmdBuyHouse, &QPushButton::clicked, this, [&board] { board.act(&Game::cmdBuyHouse_Click); });
    connect(cmdSellHouse, &QPushButton::clicked, this, [&board] { board.act(&Game::cmdSellHouse_Click); });
    connect(cmdMortgage, &QPushButton::clicked, this, [&board] { board.act(&Game::cmdMortgage_Click); });
}

void HouseWork::draw(const GameState& state) {
    const HouseWorkView& view = state.houseWork;
    lblTitle->setText(labelText(SquareTitle(view.titleSquare)));
    lblTitle->setAccessibleName(lblTitle->text());
    if (isOwnable(view.titleSquare)) {
        QPalette colour = lblTitle->palette();
        colour.setColor(QPalette::Window, toQColor(GroupColor(view.titleSquare)));
        lblTitle->setPalette(colour);
    }
    cmdBuyHouse->setEnabled(view.buyEnabled);
    cmdSellHouse->setEnabled(view.sellEnabled);
    cmdMortgage->setEnabled(view.mortgageEnabled);
    cmdMortgage->setText(qs(view.mortgageCaption));
    cmdMortgage->setAccessibleName(cmdMortgage->text());
}

void HouseWork::closeEvent(QCloseEvent* event) {
    emit closedByUser();
    event->accept();
}

} // namespace dealbrix
