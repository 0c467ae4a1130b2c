#include "placement.h"

#include <QLayout>
#include <QWidget>
#include <QtGlobal>
#include <optional>

#if QT_VERSION_MAJOR >= 6
#include <QGuiApplication>
#include <QScreen>
#else
#include <QApplication>
#include <QDesktopWidget>
#endif

QPoint centredTopLeft(const QSize &desktop, const QSize &window)
{
    const qint32 x = (desktop.width() - window.width()) / 2;
    const qint32 y = (desktop.height() - window.height()) / 2;
    return QPoint(x, y);
}

// The whole desktop, every screen and panel included; none when the toolkit has no desktop.
static std::optional<QSize> desktopSize()
{
#if QT_VERSION_MAJOR >= 6
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return screen->virtualGeometry().size();
#else
    if (const QDesktopWidget *desktop = QApplication::desktop())
        return desktop->geometry().size();
#endif
    return std::nullopt;
}

void centreOnDesktop(QWidget &window)
{
    // Until its layout is activated, a window has the form's own size, not the larger minimum
    // that bigger fonts give it.
    window.ensurePolished();
    if (QLayout *layout = window.layout())
        layout->activate();
    if (const std::optional<QSize> desktop = desktopSize())
        window.move(centredTopLeft(*desktop, window.geometry().size()));
}

std::optional<QRect> availableScreenGeometry(const QWidget &window)
{
#if QT_VERSION_MAJOR >= 6
    if (const QScreen *screen = window.screen())
        return screen->availableGeometry();
#else
    if (const QDesktopWidget *desktop = QApplication::desktop())
        return desktop->availableGeometry(&window);
#endif
    return std::nullopt;
}
