// Window tests run offscreen with one QApplication for the whole run.
#include <QApplication>

#include <gtest/gtest.h>

namespace {
/// The offscreen screen cannot raise windows or pass on size hints; it says so on every call.
void quietOffscreenNotices(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support"))) return;
    qt_message_output(type, context, text);
}
} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", DEALBRIX_TEST_PLATFORM);
    qInstallMessageHandler(quietOffscreenNotices);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
