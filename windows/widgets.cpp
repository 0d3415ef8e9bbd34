#include "widgets.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace dealbrix {

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString labelText(std::string_view text) { return qs(text).replace(QStringLiteral("&&"), QStringLiteral("&")); }

QColor toQColor(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

void nameControl(QWidget* widget, const QString& objectName, const QString& accessibleName) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
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
    QLabel::keyPressEvent(event);
}

} // namespace dealbrix
