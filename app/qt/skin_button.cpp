#include "app/qt/skin_button.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>

#include "app/qt/resources.h"

namespace jasokit {

QImage KeyOutColour(const QImage& face, QRgb keyColour) {
  if (face.isNull()) return face;
  QImage out = face.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = keyColour & 0xFFFFFFu;
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      if ((row[x] & 0xFFFFFFu) == key) row[x] = 0;
    }
  }
  return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

SkinButton::SkinButton(QWidget* parent) : QAbstractButton(parent) {
  // A click takes the focus on every platform, as the dialog's Enter
  // dispatch expects.
  setFocusPolicy(Qt::StrongFocus);
  // No background of its own: the window's picture shows around the face
  // and through its key-coloured pixels.
  setAutoFillBackground(false);
  // Moves without a mouse button held must reach the hover logic too.
  setMouseTracking(true);
}

void SkinButton::setFaces(int normalId, int pressedId, int hoverId, QRgb keyColour) {
  m_faceNormal = KeyOutColour(LoadBitmap(normalId), keyColour);
  m_facePressed = KeyOutColour(LoadBitmap(pressedId), keyColour);
  m_faceHover = KeyOutColour(LoadBitmap(hoverId), keyColour);
  update();
}

SkinButton::Face SkinButton::currentFace() const {
  if (!m_hover) return Face::Normal;
  return isDown() ? Face::Pressed : Face::Hover;
}

QSize SkinButton::sizeHint() const { return m_faceNormal.isNull() ? QSize(35, 20) : m_faceNormal.size(); }

void SkinButton::paintEvent(QPaintEvent*) {
  const QImage* face = &m_faceNormal;
  switch (currentFace()) {
    case Face::Normal: break;
    case Face::Pressed: face = &m_facePressed; break;
    case Face::Hover: face = &m_faceHover; break;
  }
  if (face->isNull()) return;
  // Centred with truncating division; a face larger than the button is clipped.
  const int x = (width() - face->width()) / 2;
  const int y = (height() - face->height()) / 2;
  QPainter painter(this);
  painter.drawImage(x, y, *face);
}

void SkinButton::leaveEvent(QEvent* event) {
  // Without a mouse button held, moves elsewhere go to other widgets; the
  // leave event is this button's news that the pointer went over one.
  if (m_hover) releasePointer(false);
  QAbstractButton::leaveEvent(event);
}

void SkinButton::mousePressEvent(QMouseEvent* event) {
  QAbstractButton::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) m_press = isDown() ? Press::Followed : Press::None;
}

void SkinButton::mouseMoveEvent(QMouseEvent* event) {
  // Mouse tracking brings every move over the button; while a mouse button
  // is held, moves outside it come here too, and end the press even when it
  // began without a hover.
  const bool over = rect().contains(event->position().toPoint());
  if (over) {
    if (!m_hover) takePointer();
  } else if (m_hover || m_press == Press::Followed) {
    releasePointer(false);
  }
  if (m_press == Press::Ended) {
    // The base class would press the button again on the way back in.
    event->ignore();
    return;
  }
  QAbstractButton::mouseMoveEvent(event);
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event) {
  // After an ended press the button is not down, so the base class clicks
  // nothing.
  QAbstractButton::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) m_press = Press::None;
}

void SkinButton::focusOutEvent(QFocusEvent* event) {
  QAbstractButton::focusOutEvent(event);
  endPress();
  if (m_hover) releasePointer(true);
}

void SkinButton::takePointer() {
  m_hover = true;
  update();
}

void SkinButton::releasePointer(bool repaintNow) {
  m_hover = false;
  endPress();
  if (repaintNow) {
    repaint();
  } else {
    update();
  }
}

void SkinButton::endPress() {
  if (m_press != Press::Followed) return;
  m_press = Press::Ended;
  if (isDown()) {
    setDown(false);
    emit released();
  }
}

}  // namespace jasokit
