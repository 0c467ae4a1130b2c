#pragma once

// Captures: what the driver returned, written in the simulated reader's replay layout
// (record.bin, photo.<ext>, social.txt), so that KESTREL_SIM=replay:FOLDER shows the same card.

#include "basemessage.h"

#include <QByteArray>
#include <QString>

// Creates the folder with mode 0700, or takes an existing empty one and makes it 0700; an
// error text when it cannot, or when the folder holds anything.
QString prepareCaptureFolder(const QString &folder);

// Writes a new file of mode 0600 into the folder, never over a file or through a link there.
bool writeCaptureFile(const QString &folder, const QString &name, const QByteArray &bytes);

// The file name a captured photo takes: photo.bmp, photo.png, photo.jpg, or photo.bin.
QString capturedPhotoName(const QByteArray &photo);

// Fictional values of the same byte lengths for the holder's name, date of birth, address,
// citizen number (with a valid check character) and issuing office; sex, ethnic group and
// validity as they are; every other byte, the fingerprint data included, zero. What the
// program reads keeps its layout, and nothing it does not read can carry personal data along.
void redactRecord(BaseMessageRecord &record);

// The text with each UTF-8 character replaced by a fictional one of the same byte length;
// ASCII punctuation and spaces stay, so separators keep their places.
QByteArray redactedText(const QByteArray &text);

// A plain grey picture of the photo's format and pixel size; empty when it is no card photo.
QByteArray placeholderPhoto(const QByteArray &photo);
