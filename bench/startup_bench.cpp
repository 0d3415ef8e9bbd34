// How long the program takes to paint its board window, and its peak memory. Each run is a fresh
// process and measures once; run_startup.sh repeats and compares the two variants.
//
//   startup_bench game   the real windows: game, board and grid, built as the program builds them
//   startup_bench bare   one plain window with the same pictures: 40 squares and 6 die faces
// Both variants are this one program, so both pay the same loading of Qt and the game.
//
// Prints one line: variant, platform, main_ms (from main's first line to the end of the board window's
// first paint), launch_ms (the same, but from DEALBRIX_LAUNCH_US, the launcher's wall clock in microseconds
// since the epoch, taken just before it starts the process; -1 when not given) and peak_rss_kb
// (getrusage ru_maxrss, read kSettleMs later, once the other windows have painted as well).

#include "board_window.h"
#include "geometry.h"
#include "qt_ui.h"
#include "random.h"
#include "values.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The pictures live in the windows library; they are registered by name from outside any namespace.
static void initAssets() {
    Q_INIT_RESOURCE(assets);
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDieFaces = 6;
constexpr int kDieSizeTwips = 750;
constexpr int kPaintTimeoutMs = 20'000;
constexpr int kSettleMs = 250; // after the first paint, before the memory is read
constexpr const char* kLaunchVariable = "DEALBRIX_LAUNCH_US";

/// Microseconds since the epoch on the wall clock, the clock the launcher reads.
long long wallMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

/// Watches the paint events of `window` and the widgets in it. The window's first frame is over when
/// a widget of another window starts painting or the event loop next turns, whichever comes first;
/// then the loop is left.
class FirstPaint final : public QObject {
  public:
    explicit FirstPaint(QWidget* window) : window_(window) { qApp->installEventFilter(this); }

    bool painted() const { return done_; }
    Clock::time_point atPaint() const { return atPaint_; }
    long long wallAtPaint() const { return wallAtPaint_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (done_ || event->type() != QEvent::Paint || !watched->isWidgetType()) return false;
        const bool ours = static_cast<QWidget*>(watched)->window() == window_;
        if (ours && !painting_) {
            painting_ = true;
            QTimer::singleShot(0, this, [this] { finish(); });
        } else if (!ours && painting_) {
            finish();
        }
        return false;
    }

  private:
    void finish() {
        if (done_) return;
        atPaint_ = Clock::now();
        wallAtPaint_ = wallMicroseconds();
        done_ = true;
        QCoreApplication::exit(0); // not quit(): the grid refuses to close before the board does
    }

    QWidget* window_;
    bool painting_ = false;
    bool done_ = false;
    Clock::time_point atPaint_;
    long long wallAtPaint_ = 0;
};

/// The real thing: the game, its board window and the grid, as the program builds them, with a
/// screen whose boxes close at once.
struct GameWindows {
    dealbrix::ClockRandom random;
    dealbrix::QtUi ui{[] {}, [](QMessageBox&) { return QMessageBox::Ok; }};
    dealbrix::Game game{ui, random};
    dealbrix::BoardWindow board{game, ui};

    QWidget* window() { return &board; }
    void show() { board.showWithGrid(); }
};

/// A plain window of the board's size holding the same pictures, and nothing else.
struct BareWindow {
    QWidget board;

    BareWindow() {
        initAssets();
        board.setFixedSize(dealbrix::toPixels(dealbrix::kBoardClientWidth),
                           dealbrix::toPixels(dealbrix::kBoardClientHeight));
        for (int i = 0; i < dealbrix::kSquareCount; ++i) {
            auto* square = new QLabel(&board);
            const dealbrix::Rect r = dealbrix::squareRect(i);
            square->setGeometry(dealbrix::toPixels(r.left), dealbrix::toPixels(r.top),
                                dealbrix::toPixels(r.width), dealbrix::toPixels(r.height));
            square->setPixmap(QPixmap(QStringLiteral(":/squares/square%1.jpg").arg(i, 2, 10, QChar('0'))));
        }
        // Loaded and kept hidden, as the board keeps its six faces for the two dice.
        for (int n = 1; n <= kDieFaces; ++n) {
            auto* face = new QLabel(&board);
            face->resize(dealbrix::toPixels(kDieSizeTwips), dealbrix::toPixels(kDieSizeTwips));
            face->setPixmap(QPixmap(QStringLiteral(":/dice/die%1.gif").arg(n)));
            face->hide();
        }
    }
    QWidget* window() { return &board; }
    void show() { board.show(); }
};

template <class Windows> int measure(const char* variant, Clock::time_point atMain) {
    Windows windows;
    FirstPaint firstPaint(windows.window());
    windows.show();
    QTimer::singleShot(kPaintTimeoutMs, qApp, [] { QCoreApplication::exit(1); });
    if (QApplication::exec() != 0 || !firstPaint.painted()) {
        std::fprintf(stderr, "startup_bench: no paint within %d ms\n", kPaintTimeoutMs);
        return EXIT_FAILURE;
    }
    // Memory is read once every window shown has had time to paint too.
    QTimer::singleShot(kSettleMs, qApp, [] { QCoreApplication::exit(0); });
    QApplication::exec();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double mainMs = std::chrono::duration<double, std::milli>(firstPaint.atPaint() - atMain).count();
    double launchMs = -1;
    if (const char* launch = std::getenv(kLaunchVariable); launch != nullptr && *launch != '\0')
        launchMs = static_cast<double>(firstPaint.wallAtPaint() - std::atoll(launch)) / 1000.0;
    std::printf("variant=%s platform=%s main_ms=%.2f launch_ms=%.2f peak_rss_kb=%ld\n", variant,
                qPrintable(QGuiApplication::platformName()), mainMs, launchMs, usage.ru_maxrss);
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char* argv[]) {
    const Clock::time_point atMain = Clock::now();
    const bool game = argc > 1 && std::strcmp(argv[1], "game") == 0;
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
    if (!game && !bare) {
        std::fprintf(stderr, "usage: startup_bench game|bare\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(dealbrix::kProgramName));
    return game ? measure<GameWindows>("game", atMain) : measure<BareWindow>("bare", atMain);
}
