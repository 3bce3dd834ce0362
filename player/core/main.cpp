// The program entry: the single-instance check comes first, before the
// application object and any window exist.

#include "instancechannel.h"
#include "instancelock.h"
#include "commandline.h"
#include "deferredicons.h"
#include "captions.h"
#include "closerequest.h"
#include "melodeck.h"
#include "dialogs.h"
#include "programdir.h"
#include "options.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <memory>

namespace {
constexpr int kExitNoAudio = 1;

// Returns the lock when this is the first instance (or when no lock can be
// had at all; the player then runs without the check). A second instance
// hands its arguments over and gets no lock.
std::unique_ptr<TInstanceLock> instanceCheck(const QString &directory, const QStringList &arguments,
                                             bool &secondInstance)
{
    secondInstance = false;
    if (directory.isEmpty())
        return nullptr;
    auto lock = std::make_unique<TInstanceLock>(directory);
    switch (lock->acquire()) {
    case TInstanceLock::Result::Acquired:
        return lock;
    case TInstanceLock::Result::HeldElsewhere:
        secondInstance = true;
        if (!arguments.isEmpty())
            sendToRunningInstance(instanceSocketPath(directory), forwardedText(arguments));
        return nullptr;
    case TInstanceLock::Result::Failed:
        break;
    }
    return nullptr;
}
} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    arguments = absoluteArguments(arguments, QDir::currentPath());

    const QString directory = instanceDirectory();
    bool secondInstance = false;
    const std::unique_ptr<TInstanceLock> lock = instanceCheck(directory, arguments, secondInstance);
    if (secondInstance)
        return 0;

    QApplication app(argc, argv);
    // From here on SIGTERM, SIGINT and SIGHUP wait in the event loop; one
    // that comes during the start-up closes the window once it is shown.
    TTerminationSignals termination;
    // Only the name: a display name would be appended to every window title,
    // and the main window's title is the playing song alone.
    QApplication::setApplicationName(Caption::WindowTitle);
    // The dialogs built before the window shows read their icons only when
    // they are opened.
    QApplication::setStyle(new TDeferredIconStyle);

    if (!prepareProgramDir())
        qWarning("Melodeck: cannot set up %s", qUtf8Printable(programDir()));
    Melodeck window(arguments);
    if (!window.started())
        return kExitNoAudio;

    // Owned by the main window; its handlers find them there once the
    // dialogs have contents to show.
    createDialogs(window);

    // Declared after the window, so it goes first and never calls into a
    // window that is being destroyed.
    TInstanceServer server;
    if (lock) {
        server.setHandler([&window](const QString &text) { window.copyDataReceived(text); });
        if (!server.listen(instanceSocketPath(directory)))
            qWarning("Melodeck: cannot listen for second starts: %s", qPrintable(server.errorString()));
    }

    QObject::connect(&termination, &TTerminationSignals::received, &window,
                     [&window] { closeCancellingDialogs(window); });
    if (termination.caught())
        QTimer::singleShot(0, &window, [&window] { closeCancellingDialogs(window); });

    window.show();
    return QApplication::exec();
}
