#pragma once

#include <QLabel>
#include <QPixmap>

// The label's picture, null when it has none: QLabel::pixmap() gives a pointer before
// Qt 5.15 and a value from Qt 6 on.
inline QPixmap labelPixmap(const QLabel *label)
{
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    return label->pixmap(Qt::ReturnByValue);
#else
    const QPixmap *pixmap = label->pixmap();
    return pixmap ? *pixmap : QPixmap();
#endif
}
