#pragma once

#include <QByteArray>
#include <QGuiApplication>
#include <QScreen>
#include <QtGlobal>

// Whether the font resolution QT_FONT_DPI asks for, if any, is the one in force. Before Qt 5.12
// only the xcb platform applies it, so a test run offscreen there at "120 dpi" runs at 96 and
// could not fail: such a test skips instead.
inline bool fontDpiApplies()
{
    const QByteArray asked = qgetenv("QT_FONT_DPI");
    const QScreen *screen = QGuiApplication::primaryScreen();
    return asked.isEmpty() || (screen && qRound(screen->logicalDotsPerInchY()) == asked.toInt());
}

constexpr const char *FontDpiIgnored = "QT_FONT_DPI is set, but this Qt's platform plugin ignores it "
                                      "(before Qt 5.12 only xcb applies it): the test would run at 96 dpi";
