#include "house_options_window.h"

#include "board_window.h"

namespace dealbrix {

namespace {
constexpr int kClientWidth = 9330;
constexpr int kClientHeight = 4650;
constexpr int kTitlePoints = 24;
constexpr int kButtonLeft = 960;
constexpr int kButtonWidth = 7095;
constexpr int kButtonHeight = 735;
} // namespace

HouseOptionsWindow::HouseOptionsWindow(BoardWindow& board) : SecondaryWindow(&board) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("House Options"));
    setAccessibleName(windowTitle());
    setObjectName(QStringLiteral("HouseWork"));
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));

    title_ = new QLabel(this);
    placeTwips(title_, 1080, 360, 6975, 855);
    title_->setAlignment(Qt::AlignCenter);
    title_->setFont(gameFont(kTitlePoints));
    title_->setAutoFillBackground(true);
    title_->setObjectName(QStringLiteral("lblTitle"));

    auto button = [this](const char* name, const char* caption, int top) {
        return makeButton(this, QString::fromLatin1(name), QString::fromLatin1(caption),
                          {kButtonLeft, top, kButtonWidth, kButtonHeight});
    };
    buyButton_ = button("cmdBuyHouse", "Buy House", 1680);
    mortgageButton_ = button("cmdMortgage", "Mortgage", 3360);
    sellButton_ = button("cmdSellHouse", "Sell House", 2520);
    setTabOrder(buyButton_, mortgageButton_);
    setTabOrder(mortgageButton_, sellButton_);

    connect(buyButton_, &QPushButton::clicked, this, [&board] { board.act(Action::buyHouse()); });
    connect(sellButton_, &QPushButton::clicked, this, [&board] { board.act(Action::sellHouse()); });
    connect(mortgageButton_, &QPushButton::clicked, this, [&board] { board.act(Action::toggleMortgage()); });
}

void HouseOptionsWindow::draw(const GameState& state) {
    const HouseOptionsView& view = state.houseOptions;
    title_->setText(labelText(squareTitle(view.titleSquare)));
    title_->setAccessibleName(title_->text());
    if (isOwnable(view.titleSquare)) {
        QPalette colour = title_->palette();
        const QColor group = toQColor(groupColour(view.titleSquare));
        colour.setColor(QPalette::Window, group);
        colour.setColor(QPalette::WindowText, captionColourOn(group));
        title_->setPalette(colour);
    }
    buyButton_->setEnabled(view.buyEnabled);
    sellButton_->setEnabled(view.sellEnabled);
    mortgageButton_->setEnabled(view.mortgageEnabled);
    mortgageButton_->setText(toQString(view.mortgageCaption));
    mortgageButton_->setAccessibleName(mortgageButton_->text());
}

} // namespace dealbrix
