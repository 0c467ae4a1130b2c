#pragma once

#include <QByteArray>
#include <QGuiApplication>
#include <QScreen>
#include <QtGlobal>

// Whether the font resolution QT_FONT_DPI asks for, if any, is the one in force. Before Qt 5.12
// only the xcb platform applies it, and Qt 6 turns it into a device pixel ratio unless high-DPI
// scaling is off, so a test run there at "120 dpi" lays out as at 96 and could not fail: such
// a test skips instead.
inline bool fontDpiApplies()
{
    const QByteArray asked = qgetenv("QT_FONT_DPI");
    const QScreen *screen = QGuiApplication::primaryScreen();
    return asked.isEmpty() || (screen && qRound(screen->logicalDotsPerInchY()) == asked.toInt());
}

constexpr const char *FontDpiIgnored = "QT_FONT_DPI is set, but this Qt does not apply it to fonts (before Qt 5.12 "
                                      "only xcb does; Qt 6 scales everything by it instead, unless "
                                      "QT_ENABLE_HIGHDPI_SCALING=0): the test would lay out as at 96 dpi";
