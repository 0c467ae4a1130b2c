#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

class QWidget;

// Top-left corner that centres a window of the given size on a desktop of the given size;
// halves truncate toward zero, so a window wider than the desktop gets a negative x.
QPoint centredTopLeft(const QSize &desktop, const QSize &window);

// Moves the window, at the size its layout gives it, to the middle of the whole desktop; leaves
// it alone when there is no desktop.
void centreOnDesktop(QWidget &window);

// The free area (panels left out) of the screen the window is on; none when the toolkit has
// no screen.
std::optional<QRect> availableScreenGeometry(const QWidget &window);
