#pragma once

#include <QByteArray>

// The part of a BMP, PNG or JPEG file ("bmp", "png", "jpeg") that a decoder needs to draw its
// picture, and nothing that could make it work harder than the picture takes: no text,
// metadata or data past the picture's end. Empty when the file is not one the decoder can draw
// within those bounds, such as a PNG whose image data inflates to more than its header states.
QByteArray pictureBytes(const QByteArray &bytes, const QByteArray &format);
