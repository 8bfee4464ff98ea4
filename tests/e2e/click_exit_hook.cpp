// Preloaded (LD_PRELOAD) into the real korvane by test_e2e_window, to play the user and the
// network around a click on 退出 without changing the program:
// - Every host-name lookup writes "lookup <name>" to standard output and then waits until
//   standard input is closed, when it fails: a name server that does not answer. Nothing
//   leaves the machine.
// - A line on standard input clicks 退出 with the mouse.

#include <QApplication>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>

#include <cerrno>
#include <cstdio>

#include <netdb.h>
#include <poll.h>
#include <unistd.h>

namespace {

QPushButton *exitButton()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        for (QPushButton *button : window->findChildren<QPushButton *>()) {
            if (button->text() == QStringLiteral("退出"))
                return button;
        }
    }
    return nullptr;
}

// Runs in the application object's constructor.
void watchStandardInput()
{
    auto *notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier] {
        char c = 0;
        if (::read(STDIN_FILENO, &c, 1) <= 0) {
            notifier->setEnabled(false);
            return;
        }
        QPushButton *button = exitButton();
        if (c == '\n' && button)
            QTest::mouseClick(button, Qt::LeftButton);
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchStandardInput)

extern "C" int getaddrinfo(const char *node, const char *, const struct addrinfo *, struct addrinfo **)
{
    std::printf("lookup %s\n", node ? node : "");
    std::fflush(stdout);
    pollfd input{STDIN_FILENO, 0, 0}; // no events asked: poll returns when the writer hangs up
    while (::poll(&input, 1, -1) < 0 && errno == EINTR) {
    }
    return EAI_AGAIN;
}
