#pragma once

#include <QLabel>

// A value label for text read from a card.
// - On one line, once the window has asked it to, its minimum width is its whole text's, so
//   the window can make room for the whole value; until then it asks for no width.
// - On one line, a value too long for the room it gets is cut at its edge with an ellipsis.
// - Wrapped, it takes at most MaxWrappedLines lines, the start of the text showing.
// It adds no signals, slots or properties, so it has no meta-object of its own and stays a
// QLabel to the form and to everything that finds its widgets by class.
class CardLabel : public QLabel
{
public:
    // Room for a real social security card's whole line at the window's width.
    static constexpr int MaxWrappedLines = 8;

    using QLabel::QLabel;

    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

    void askForWholeText();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int maxWrappedHeight() const;
    int wholeTextWidth() const;

    bool asksForWholeText = false;
};
