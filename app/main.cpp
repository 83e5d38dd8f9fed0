#include "app/command_line.h"
#include "pandicube/version.h"
#include "window/close_requests.h"
#include "window/form1.h"
#include "window/window_system.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    if (const auto status = pandicube::AnswerTextOptions(argc, argv)) return *status;
    if (const auto status = pandicube::RefuseBadArguments(argc, argv)) return *status;
    if (const auto status = pandicube::RefuseWithoutDisplay(argc, argv)) return *status;
    QApplication app(argc, argv);
    // Lets the desktop find the program's entry, and with it its icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(pandicube::kAppId));

    pandicube::QtWindowSystem windowSystem;
    pandicube::Form1 form(windowSystem);
    pandicube::TerminationWatcher watcher;
    pandicube::RouteCloseRequests(app, watcher, form);
    form.show();
    return app.exec();
}
