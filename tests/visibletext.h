#pragma once

// What visibleCardText guarantees of any text, checked with Qt's character tables alone: one
// character shown for each character, and none that breaks the line, draws nothing or reorders
// the text around it. Shared by the fuzz targets of the texts a card label shows.

#include "cardtext.h"

#include <QString>
#include <algorithm>
#include <QVector>

inline bool breaksHidesOrReorders(uint c)
{
    const QChar::Direction direction = QChar::direction(c);
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029
        || QChar::category(c) == QChar::Other_Format || direction == QChar::DirR || direction == QChar::DirAL
        || direction == QChar::DirAN;
}

inline bool showsAsVisibleCardText(const QString &text)
{
    const QVector<uint> shown = visibleCardText(text).toUcs4();
    return shown.size() == text.toUcs4().size() && std::none_of(shown.begin(), shown.end(), breaksHidesOrReorders);
}
