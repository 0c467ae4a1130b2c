#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

// Top-left corner that centres a window of the given size on a desktop of the given size;
// halves truncate toward zero, so a window wider than the desktop gets a negative x.
QPoint centredTopLeft(const QSize &desktop, const QSize &window);

// Moves the window to the middle of the whole desktop; leaves it alone when there is no desktop.
void centreOnDesktop(QWidget &window);

// The height of the free area (panels left out) of the screen the window is on; unbounded
// when the toolkit has no screen.
int availableScreenHeight(const QWidget &window);
