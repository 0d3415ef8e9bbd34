#pragma once
// What the program remembers from one evening to the next, in QSettings: the last table, the
// computer's pace and where each window was. Nothing remembered is applied by itself except window
// places; the last table is only offered by the New Game dialog.

#include "new_game_dialog.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <optional>

class QWidget;

namespace dealbrix {

/// Reads and writes the remembered values; every value read is checked, so a damaged or hand-edited
/// settings file gives the defaults rather than a table the game could not hold.
class Remembered final : public QObject {
    Q_OBJECT
  public:
    explicit Remembered(QObject* parent = nullptr);

    /// The last table started from the New Game dialog (count, seats, levels, names, rules), or the
    /// game's own (four people, no names, no rules of its own).
    TableChoice lastTable() const;
    void setLastTable(const TableChoice& table);

    /// The computer's pause in milliseconds, if one was remembered.
    std::optional<int> computerDelay() const;
    void setComputerDelay(int delayMs);

    /// Moves `window` to where it was last time, when that place is on a screen that exists now;
    /// returns false (and leaves the window alone) otherwise. From then on its place is remembered
    /// whenever it moves or closes.
    bool restorePlace(QWidget* window);
    /// Remembers where `window` is from now on, without moving it now.
    void watch(QWidget* window);
    /// Writes everything to disk now (the program may end without close handlers).
    void flush();

    /// True when `frame` lies on a screen that exists: its top left corner and a little beside it.
    static bool onSomeScreen(const QRect& frame);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void savePlace(QWidget* window);
};

} // namespace dealbrix
