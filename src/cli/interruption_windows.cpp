// Windows has no SIGTERM or SIGHUP to catch: the console's Ctrl+C ends the run as SIGINT
// does on Debian (exit status 130), and Ctrl+Break, closing the console, logging off and
// shutting down as SIGTERM does (143).
#include "interruption.h"

#include <QMetaObject>

#include <csignal>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace korvane {

namespace {

Interruption *g_interruption = nullptr;

// Runs on a thread of its own that Windows starts for the event: the signal is handed to
// the event loop.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    Interruption *interruption = g_interruption;
    if (interruption == nullptr)
        return FALSE;
    const int number = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    QMetaObject::invokeMethod(
        interruption, [interruption, number] { emit interruption->interrupted(number); },
        Qt::QueuedConnection);
    return TRUE;
}

} // namespace

Interruption::Interruption(QObject *parent) : QObject(parent)
{
    g_interruption = this;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

Interruption::~Interruption()
{
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    g_interruption = nullptr;
}

void Interruption::readSignal() {}

} // namespace korvane
