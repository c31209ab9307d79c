#include "gui/window_messages.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

// The offscreen platform cannot raise windows; its remarks about that are not worth reading.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith("This plugin does not support"))
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(QuietHandler);
    // Without a display by default, also when ctest lists the cases.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    pmv::gui::InstallRussianTranslation(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
