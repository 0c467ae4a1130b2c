// Preloaded (LD_PRELOAD) into a Qt program: when its first top-level window has painted, writes
// the monotonic clock in nanoseconds to standard error as "first-frame NS" and ends the event
// loop, so that a script can time a program from exec to its first frame and to its exit.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <ctime>

namespace {

class FirstFrameWatcher : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(object);
        if (event->type() == QEvent::Paint && widget && widget->isWindow() && !done) {
            done = true;
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(stderr, "first-frame %lld\n", now.tv_sec * 1000000000LL + now.tv_nsec);
            // After this paint reaches the screen: queued behind the backing store's flush.
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return false;
    }

private:
    bool done = false;
};

void watchFirstFrame()
{
    qApp->installEventFilter(new FirstFrameWatcher(qApp));
}

}

Q_COREAPP_STARTUP_FUNCTION(watchFirstFrame)
