#include "widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

namespace dealbrix {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont gameFont(qreal points) {
    QFont font(QString::fromLatin1(kFontFamily));
    font.setPointSizeF(points);
    return font;
}

QString labelText(std::string_view text) {
    return toQString(text).replace(QStringLiteral("&&"), QStringLiteral("&"));
}

QColor toQColor(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

QColor tokenColour(int player) {
    static const std::array<QColor, kPlayerCount> kTokenColours{QColor(255, 0, 0), QColor(0, 255, 0),
                                                                QColor(255, 255, 0), QColor(0, 0, 255)};
    assert(isPlayer(player));
    return kTokenColours[static_cast<std::size_t>(player - 1)];
}

namespace {
/// Relative luminance as WCAG 2 defines it: each sRGB channel made linear, then weighted.
double luminance(const QColor& colour) {
    auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
}
} // namespace

double contrastRatio(const QColor& first, const QColor& second) {
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor captionColourOn(const QColor& background) {
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(background, white) > contrastRatio(background, black) ? white : black;
}

void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& caption,
                        const Rect& twips) {
    auto* button = new QPushButton(caption, parent);
    placeTwips(button, twips.left, twips.top, twips.width, twips.height);
    nameControl(button, objectName, caption);
    return button;
}

void nameControl(QWidget* widget, const QString& objectName, const QString& accessibleName) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
}

QPixmap loadPicture(const QString& path, qreal devicePixelRatio) {
    constexpr int kLargestDrawing = 3;
    const int scale = std::clamp(static_cast<int>(std::ceil(devicePixelRatio)), 1, kLargestDrawing);
    if (scale > 1) {
        const int dot = static_cast<int>(path.lastIndexOf(QLatin1Char('.')));
        const QString dense = path.left(dot) + QStringLiteral("@%1x").arg(scale) + path.mid(dot);
        QPixmap picture(dense);
        if (!picture.isNull()) {
            picture.setDevicePixelRatio(scale);
            return picture;
        }
    }
    return QPixmap(path);
}

void setAnnounced(QLabel* label, const QString& text, const QString& accessibleName) {
    if (label->text() == text && label->accessibleName() == accessibleName) return;
    label->setText(text);
    label->setAccessibleName(accessibleName);
    QAccessibleEvent changed(label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

namespace {

/// A square picture or grid heading: pressed through the accessibility interface like a button.
class AccessibleClickable final : public QAccessibleWidget {
  public:
    explicit AccessibleClickable(ClickableLabel* label) : QAccessibleWidget(label, QAccessible::Button) {}
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action != pressAction()) return;
        // Run after the caller has had its answer, as a mouse click would.
        auto* label = static_cast<ClickableLabel*>(widget());
        QTimer::singleShot(0, label, [label] { emit label->clicked(); });
    }
};

QAccessibleInterface* gameAccessibility(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return nullptr;
    if (auto* label = qobject_cast<ClickableLabel*>(widget)) return new AccessibleClickable(label);
    // The grid, House Options, trade and Game Log windows are plain widgets made windows: say so.
    static const QStringList secondaryWindows{
        QStringLiteral("dealbrix::OwnershipGrid"), QStringLiteral("dealbrix::HouseOptionsWindow"),
        QStringLiteral("dealbrix::TradeWindow"), QStringLiteral("dealbrix::GameLogWindow")};
    if (widget->isWindow() && secondaryWindows.contains(className))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

void installAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(gameAccessibility);
}

SecondaryWindow::SecondaryWindow(QWidget* board) : QWidget(board, Qt::Window) {}

void SecondaryWindow::closeEvent(QCloseEvent* event) {
    emit closedByUser();
    event->accept();
}

void SecondaryWindow::keyPressEvent(QKeyEvent* event) {
    // Escape does what the close box does; text fields leave it to the window.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        emit clicked();
        return;
    }
    if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down) {
        emit arrowPressed(static_cast<Qt::Key>(key));
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickableLabel::paintOver(QPainter&) {}

void ClickableLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    QPainter painter(this);
    paintOver(painter);
    if (!hasFocus()) return;
    QPen pen(palette().color(QPalette::Highlight), 2);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(1, 1, -1, -1));
}

} // namespace dealbrix
