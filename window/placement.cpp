#include "placement.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QWidget>

QPoint centredTopLeft(const QSize &desktop, const QSize &window)
{
    const qint32 x = (desktop.width() - window.width()) / 2;
    const qint32 y = (desktop.height() - window.height()) / 2;
    return QPoint(x, y);
}

void centreOnDesktop(QWidget &window)
{
    const QDesktopWidget *desktop = QApplication::desktop();
    if (!desktop)
        return;
    window.move(centredTopLeft(desktop->geometry().size(), window.geometry().size()));
}
