#include "cardlabel.h"

#include <QPainter>
#include <QStyle>

namespace {

constexpr ushort ControlPictures = 0x2400;
constexpr ushort DeletePicture = 0x2421;

// Bidirectional marks, embeddings, overrides and isolates: on a card they could only make a
// value read in another order, a citizen number backwards.
bool reorders(ushort c)
{
    return c == 0x61c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

// C1 controls, the Unicode line and paragraph separators and the bidirectional controls,
// which have no symbol of their own.
bool breaksOrHides(QChar c)
{
    return (c.unicode() >= 0x80 && c.unicode() <= 0x9f) || c == QChar::LineSeparator || c == QChar::ParagraphSeparator
        || reorders(c.unicode());
}

}

QSize CardLabel::minimumSizeHint() const
{
    return {0, qMin(QLabel::minimumSizeHint().height(), maxWrappedHeight())};
}

// Never less than one line, also when empty (QLabel answers -1 then), so an empty wrapped
// label takes the room an unwrapped one does.
int CardLabel::heightForWidth(int width) const
{
    const int height = QLabel::heightForWidth(width);
    return wordWrap() ? qBound(QLabel::minimumSizeHint().height(), height, maxWrappedHeight()) : height;
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

QString visibleCardText(const QString &text)
{
    QString shown = text;
    for (QChar &c : shown) {
        if (c.unicode() < 0x20)
            c = QChar(ushort(ControlPictures + c.unicode()));
        else if (c.unicode() == 0x7f)
            c = QChar(DeletePicture);
        else if (breaksOrHides(c))
            c = QChar::ReplacementCharacter;
    }
    return shown;
}
