#pragma once
// The program's pictures, embedded as Qt resources and addressed by their
// numeric ids (bitmaps 132 to 143, icon 128).
#include <QIcon>
#include <QImage>

class QPainter;
class QRect;

namespace jasokit {

// A null image when no bitmap has that id.
QImage LoadBitmap(int id);

// Icon 128 in all its sizes.
QIcon ApplicationIcon();

// Paints bitmap 132 unscaled from the top left corner of rect; whatever the
// picture does not cover is filled with its ground colour.
void PaintBackground(QPainter& painter, const QRect& rect);

}  // namespace jasokit
