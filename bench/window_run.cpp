// One window run per process, off screen, for timing side by side with the
// front end:
//   QT_QPA_PLATFORM=offscreen pandicube-window-time BOUND [THREADS]
// Types BOUND into the window (searching on THREADS threads, by default the
// machine's cores), presses "start" and answers the closing
// message at once; prints the count shown in that message and the seconds
// from the click to the message, every repaint and processing of events
// included, and the processor time of the window's own thread in that span.
#include "window/form1.h"
#include "window/window_system.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <iostream>

namespace {

// Processor seconds of the calling thread so far.
double ThreadSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The real window system, except that the closing message is answered at
// once and its moment kept.
class TimedWindowSystem : public pandicube::QtWindowSystem {
public:
    int ShowMessage(QWidget*, const QString& text, Icon, Buttons, const QString&) override
    {
        closedAt = std::chrono::steady_clock::now();
        threadSecondsAtClose = ThreadSeconds();
        message = text;
        return kOk;
    }

    std::chrono::steady_clock::time_point closedAt;
    double threadSecondsAtClose = 0;
    QString message;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3 || std::atoi(argv[1]) < 1) {
        std::cerr << "usage: pandicube-window-time BOUND [THREADS]\n";
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TimedWindowSystem windowSystem;
    pandicube::Form1 form(windowSystem);
    if (argc == 3) form.SetSearchThreads(static_cast<unsigned>(std::atoi(argv[2])));
    form.show();
    form.Text2->setText(QString::fromLatin1(argv[1]));
    QApplication::processEvents();

    const double windowThreadBefore = ThreadSeconds();
    const auto start = std::chrono::steady_clock::now();
    form.Command1->click();
    const std::chrono::duration<double> seconds = windowSystem.closedAt - start;
    const double windowThread = windowSystem.threadSecondsAtClose - windowThreadBefore;
    std::cout << "window U=" << argv[1] << " message=\""
              << windowSystem.message.replace(QChar('\n'), QChar(' ')).toStdString() << "\" seconds=" << seconds.count()
              << " windowThreadSeconds=" << windowThread << '\n';
    return windowSystem.message.startsWith(QStringLiteral("computation terminated")) ? 0 : 1;
}
