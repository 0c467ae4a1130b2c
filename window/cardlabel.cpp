#include "cardlabel.h"

#include "basemessage.h"

#include <QPainter>
#include <QStyle>

namespace {

constexpr ushort ControlPictures = 0x2400;
constexpr ushort DeletePicture = 0x2421;

// C1 controls, the Unicode line and paragraph separators, and what would hide or reorder a
// value, none of which has a symbol of its own.
bool breaksOrHides(uint code)
{
    return (code >= 0x80 && code <= 0x9f) || code == QChar::LineSeparator || code == QChar::ParagraphSeparator
        || disguisesText(code);
}

}

QSize CardLabel::minimumSizeHint() const
{
    const int width = wordWrap() || !asksForWholeText ? 0 : wholeTextWidth();
    return {width, qMin(QLabel::minimumSizeHint().height(), maxWrappedHeight())};
}

// The advance, as eliding measures it, rather than QLabel's bounding box, which can be narrower.
int CardLabel::wholeTextWidth() const
{
#if QT_VERSION >= QT_VERSION_CHECK(5, 11, 0)
    const int advance = fontMetrics().horizontalAdvance(text());
#else
    const int advance = fontMetrics().width(text());
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

QString visibleCardText(const QString &text)
{
    QString shown;
    for (int at = 0; at < text.size();) {
        const CodePoint c = codePointAt(text, at);
        if (c.value < 0x20)
            shown += QChar(ushort(ControlPictures + c.value));
        else if (c.value == 0x7f)
            shown += QChar(DeletePicture);
        else if (breaksOrHides(c.value))
            shown += QChar(QChar::ReplacementCharacter);
        else
            shown.append(text.constData() + at, c.length);
        at += c.length;
    }
    return shown;
}
