#pragma once

// The --help text, laid out by the cells each character takes in a terminal: a Chinese
// character takes two, so a layout that counts characters runs past 80 columns.

#include <QCommandLineOption>
#include <QList>
#include <QStringList>

// The widest line --help writes, in terminal cells.
constexpr int HelpColumns = 80;

// Cells a character takes in a terminal: two for a Chinese character or a full-width form.
int cells(QChar c);

// The text in lines of at most `width` cells, broken after a space or beside a Chinese
// character, never before closing punctuation nor after opening punctuation.
QStringList wrapped(const QString &text, int width);

// Usage, the description's paragraphs and the options with their descriptions in a column.
QStringList helpLines(const QString &description, const QList<QCommandLineOption> &options);
