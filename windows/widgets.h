#pragma once
// Small pieces the four windows share: placing controls by twips, colours and texts.

#include "board.h"
#include "geometry.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QString>

#include <string_view>

namespace dealbrix {

/// Converts the game's text to Qt's.
QString toQString(std::string_view text);

/// The one type face of every window's own text: condensed, so captions measured for a small dialog
/// font stay whole.
inline constexpr const char* kFontFamily = "DejaVu Sans Condensed";

/// The windows' type face at `points`.
QFont gameFont(qreal points);

/// A label shows a doubled "&" as one, as the titles expect ("B && O Railroad" reads B & O Railroad).
QString labelText(std::string_view text);

/// The colour of the game's red, green, blue triple.
QColor toQColor(Rgb rgb);

/// The colour of player 1..4's token: red, green, yellow, blue.
QColor tokenColour(int player);

/// The WCAG 2 contrast ratio of two colours, 1 (none) to 21 (black on white).
double contrastRatio(const QColor& first, const QColor& second);

/// Black or white, whichever reads better as a caption on `background`.
QColor captionColourOn(const QColor& background);

/// Places `widget` at a rectangle given in twips.
void placeTwips(QWidget* widget, int left, int top, int width, int height);

/// A push button at a rectangle given in twips, named `objectName` and by its caption.
QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& caption,
                        const Rect& twips);

/// Names a control for assistive technology and for tests: its object name and accessible name.
void nameControl(QWidget* widget, const QString& objectName, const QString& accessibleName);

/// Loads one of the game's pictures for a screen of `devicePixelRatio`: the @2x or @3x drawing where
/// the screen is denser, so the board stays sharp; the picture keeps its natural size on screen.
QPixmap loadPicture(const QString& path, qreal devicePixelRatio);

/// Sets a label's text and, when it changed, tells assistive technology (a screen reader reads it out).
void setAnnounced(QLabel* label, const QString& text, const QString& accessibleName);

/// Lets assistive technology see the game's secondary windows as windows, and press the square
/// pictures and grid headings as it presses buttons. Call once, before the windows are built.
void installAccessibility();

/// A window the game opens beside the board (House Options, trade): its close box and Escape both
/// close it, and either way the board hears of it through `closedByUser`.
class SecondaryWindow : public QWidget {
    Q_OBJECT
  public:
    /// A top-level window owned by `board`.
    explicit SecondaryWindow(QWidget* board);

  signals:
    /// The user closed the window (close box or Escape).
    void closedByUser();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

/// A label that reports mouse clicks and Enter/Space presses: the square pictures and the grid
/// headings. With the keyboard focus it draws a focus frame; arrow keys are reported for the board.
class ClickableLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

  signals:
    void clicked();
    /// An arrow key was pressed while the label had the focus.
    void arrowPressed(Qt::Key key);

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    /// Draws over the picture, under the focus frame; nothing by default.
    virtual void paintOver(QPainter& painter);
};

} // namespace dealbrix
