// One window run per process, off screen, for timing side by side with the
// front end:
//   QT_QPA_PLATFORM=offscreen pandicube-window-time BOUND
// Types BOUND into the window, presses "start" and answers the closing
// message at once; prints the count shown in that message and the seconds
// from the click to the message, every repaint and processing of events
// included.
#include "window/form1.h"
#include "window/window_system.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <chrono>
#include <cstdlib>
#include <iostream>

namespace {

// The real window system, except that the closing message is answered at
// once and its moment kept.
class TimedWindowSystem : public pandicube::QtWindowSystem {
public:
    int ShowMessage(QWidget*, const QString& text, Icon, Buttons, const QString&) override
    {
        closedAt = std::chrono::steady_clock::now();
        message = text;
        return kOk;
    }

    std::chrono::steady_clock::time_point closedAt;
    QString message;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::atoi(argv[1]) < 1) {
        std::cerr << "usage: pandicube-window-time BOUND\n";
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TimedWindowSystem windowSystem;
    pandicube::Form1 form(windowSystem);
    form.show();
    form.Text2->setText(QString::fromLatin1(argv[1]));
    QApplication::processEvents();

    const auto start = std::chrono::steady_clock::now();
    form.Command1->click();
    const std::chrono::duration<double> seconds = windowSystem.closedAt - start;
    std::cout << "window U=" << argv[1] << " message=\""
              << windowSystem.message.replace(QChar('\n'), QChar(' ')).toStdString() << "\" seconds=" << seconds.count()
              << '\n';
    return windowSystem.message.startsWith(QStringLiteral("computation terminated")) ? 0 : 1;
}
