#include "cardlabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QtMath>
#include <QStyle>

QSize CardLabel::minimumSizeHint() const
{
    const int width = wordWrap() || !asksForWholeText ? 0 : wholeTextWidth();
    return {width, qMin(QLabel::minimumSizeHint().height(), maxWrappedHeight())};
}

// The advance, as eliding measures it: fractional, so rounded up, and not QLabel's bounding box,
// which can be narrower.
int CardLabel::wholeTextWidth() const
{
    const QFontMetricsF metrics(fontMetrics());
#if QT_VERSION >= QT_VERSION_CHECK(5, 11, 0)
    const int advance = qCeil(metrics.horizontalAdvance(text()));
#else
    const int advance = qCeil(metrics.width(text()));
#endif
    const QMargins margins = contentsMargins();
    return advance + margins.left() + margins.right() + 2 * margin();
}

void CardLabel::askForWholeText()
{
    asksForWholeText = true;
    updateGeometry();
}

// Never less than one line, also when empty (QLabel answers -1 then), so an empty wrapped
// label takes the room an unwrapped one does. The lower bound is this label's own minimum,
// itself bounded: QLabel's is every hard line's height, which qBound would let win.
int CardLabel::heightForWidth(int width) const
{
    const int height = QLabel::heightForWidth(width);
    return wordWrap() ? qBound(minimumSizeHint().height(), height, maxWrappedHeight()) : height;
}

int CardLabel::maxWrappedHeight() const
{
    const QMargins margins = contentsMargins();
    return MaxWrappedLines * fontMetrics().lineSpacing() + margins.top() + margins.bottom() + 2 * margin();
}

// QLabel paints plain text with QStyle::drawItemText into its contents rectangle; this paints
// the same way when the text does not fit, so a value that fits looks exactly as in a QLabel.
void CardLabel::paintEvent(QPaintEvent *event)
{
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    QString shown = text();
    int flags = int(alignment());
    if (wordWrap()) {
        if (QLabel::heightForWidth(width()) <= height()) {
            QLabel::paintEvent(event);
            return;
        }
        flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    } else {
        shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
        if (shown == text()) {
            QLabel::paintEvent(event);
            return;
        }
    }
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, room, flags, palette(), isEnabled(), shown, foregroundRole());
}
