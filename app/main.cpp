#include "window/close_requests.h"
#include "window/form1.h"
#include "window/window_system.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pandicube"));
    QApplication::setApplicationVersion(QStringLiteral(PANDICUBE_VERSION));

    pandicube::QtWindowSystem windowSystem;
    pandicube::Form1 form(windowSystem);
    pandicube::TerminationWatcher watcher;
    pandicube::RouteCloseRequests(app, watcher, form);
    form.show();
    return app.exec();
}
