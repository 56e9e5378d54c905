#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QString>

namespace quorvane {

// One pointer image of a Windows cursor file and its hot spot.
struct CursorImage
{
    QImage image; // ARGB32
    QPoint hotspot;
};

// Reads a cursor file: the icon-style directory, then the largest of its images, stored as a device-
// independent bitmap (1, 4, 8, 24 or 32 bits per pixel, with its AND mask) or as PNG. An icon file (type 1)
// is accepted too, with its hotspot in the middle. Throws Failure naming the path when the file cannot be
// read or is not a cursor this reader understands.
CursorImage readCursorFile(const QString& path);
CursorImage parseCursor(const QByteArray& bytes);

} // namespace quorvane
