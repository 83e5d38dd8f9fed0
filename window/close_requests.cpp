#include "window/close_requests.h"

#include "window/form1.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace pandicube {

namespace {

constexpr int kSessionEnd = 2;
constexpr int kTerminationRequest = 3;

int signalPair[2] = {-1, -1}; // [0] written by the handler, [1] read by the notifier
struct sigaction previousTerm {};
struct sigaction previousHup {};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPair[0], &byte, 1);
}

} // namespace

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPair) != 0) return;
    notifier_ = new QSocketNotifier(signalPair[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationWatcher::ReadSignal);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &previousTerm);
    sigaction(SIGHUP, &action, &previousHup);
}

TerminationWatcher::~TerminationWatcher()
{
    if (notifier_ == nullptr) return;
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGHUP, &previousHup, nullptr);
    delete notifier_;
    ::close(signalPair[0]);
    ::close(signalPair[1]);
    signalPair[0] = signalPair[1] = -1;
}

void TerminationWatcher::ReadSignal()
{
    char byte = 0;
    if (::read(signalPair[1], &byte, 1) == 1) emit terminationRequested();
}

void RouteCloseRequests(QGuiApplication& app, TerminationWatcher& watcher, Form1& form)
{
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.RequestClose(kSessionEnd); });
    QObject::connect(&watcher, &TerminationWatcher::terminationRequested, &form,
                     [&form] { form.RequestClose(kTerminationRequest); });
}

} // namespace pandicube
