#pragma once

#include <QObject>

class QGuiApplication;
class QSocketNotifier;

namespace pandicube {

class Form1;

// Turns SIGTERM and SIGHUP into an ordinary event of the window thread: the
// signal handler only writes a byte into a socket pair, and the notifier on
// the other end emits terminationRequested when the event loop, or the
// search's processing of pending events, next looks. One instance at a time;
// it restores the previous signal handlers when destroyed.
class TerminationWatcher : public QObject {
    Q_OBJECT

public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;

signals:
    void terminationRequested();

private:
    void ReadSignal();

    QSocketNotifier* notifier_ = nullptr;
};

// Routes the close requests that do not come from the user to the window: the
// end of the desktop session as unloadMode 2, a termination request as 3.
void RouteCloseRequests(QGuiApplication& app, TerminationWatcher& watcher, Form1& form);

} // namespace pandicube
