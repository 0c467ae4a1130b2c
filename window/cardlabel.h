#pragma once

#include <QLabel>

// A value label for text read from a card: whatever the card holds, it never asks the window
// for more room than a well-formed value takes.
// - Its minimum width is none, so no value can widen the window.
// - On one line, a value too long for its place is cut at the label's edge with an ellipsis.
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

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int maxWrappedHeight() const;
};
