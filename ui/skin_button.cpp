#include "ui/skin_button.h"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/resources.h"

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
}

bool SkinButton::setFaces(int normalId, int pressedId, int hoverId, QRgb keyColour) {
  m_keyColour = keyColour & 0xFFFFFFu;
  m_faceNormal = KeyOutColour(LoadBitmap(normalId), m_keyColour);
  m_facePressed = KeyOutColour(LoadBitmap(pressedId), m_keyColour);
  m_faceHover = KeyOutColour(LoadBitmap(hoverId), m_keyColour);
  update();
  return true;
}

SkinButton::Face SkinButton::currentFace() const {
  if (!m_hover) return Face::Normal;
  return isDown() ? Face::Pressed : Face::Hover;
}

QSize SkinButton::sizeHint() const {
  return m_faceNormal.isNull() ? QSize(35, 20) : m_faceNormal.size();
}

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

void SkinButton::enterEvent(QEnterEvent* event) {
  setHover(true);
  QAbstractButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
  setHover(false);
  QAbstractButton::leaveEvent(event);
}

void SkinButton::mouseMoveEvent(QMouseEvent* event) {
  // While a mouse button is held the leave event waits for the release, so
  // leaving and coming back are followed here.
  setHover(rect().contains(event->position().toPoint()));
  QAbstractButton::mouseMoveEvent(event);
}

void SkinButton::focusOutEvent(QFocusEvent* event) {
  QAbstractButton::focusOutEvent(event);
  if (m_hover) {
    m_hover = false;
    repaint();
  }
}

void SkinButton::setHover(bool hover) {
  if (m_hover == hover) return;
  m_hover = hover;
  update();
}

}  // namespace jasokit
