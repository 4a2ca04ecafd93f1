#include "app/qt/resources.h"

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QString>

#include "app/dialog/dialog_layout.h"

// Resources of a static library must be registered by hand.
static void InitJasokitResources() { Q_INIT_RESOURCE(jasokit); }

namespace jasokit {

namespace {

void EnsureResources() {
  static const bool registered = (InitJasokitResources(), true);
  (void)registered;
}

}  // namespace

QImage LoadBitmap(int id) {
  EnsureResources();
  return QImage(QStringLiteral(":/bitmap/%1").arg(id));
}

QIcon ApplicationIcon() {
  EnsureResources();
  QIcon icon;
  for (int size : {16, 32, 48, 256}) {
    icon.addFile(QStringLiteral(":/icon/%1/%2").arg(layout::kIdIcon).arg(size), QSize(size, size));
  }
  return icon;
}

void PaintBackground(QPainter& painter, const QRect& rect) {
  // Kept once decoded: the picture is repainted on every expose.
  static const QImage background = LoadBitmap(layout::kIdBackground).convertToFormat(QImage::Format_RGB32);
  const QRect covered(rect.topLeft(), background.size());
  if (!covered.contains(rect)) {
    const QColor ground = background.isNull() ? QColor(Qt::lightGray) : QColor(background.pixel(0, 0));
    painter.fillRect(rect, ground);
  }
  painter.drawImage(rect.topLeft(), background);
}

}  // namespace jasokit
