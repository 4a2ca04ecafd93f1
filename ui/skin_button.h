#pragma once
// A push button drawn as a picture: one of three faces, centred, with every
// face pixel of the key colour left out so the window's background shows
// through. The hover face is shown while the pointer is over the button.
#include <QAbstractButton>
#include <QImage>
#include <QRgb>

namespace jasokit {

class SkinButton : public QAbstractButton {
  Q_OBJECT

 public:
  enum class Face { Normal, Pressed, Hover };

  explicit SkinButton(QWidget* parent = nullptr);

  // Loads the faces by bitmap id; keyColour is 0xRRGGBB. A face that does
  // not load stays empty and draws nothing. Returns true.
  bool setFaces(int normalId, int pressedId, int hoverId, QRgb keyColour);

  // The face the next paint draws.
  Face currentFace() const;
  bool isHovering() const { return m_hover; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void setHover(bool hover);

  QImage m_faceNormal;
  QImage m_facePressed;
  QImage m_faceHover;
  QRgb m_keyColour = 0xFFFFFF;
  bool m_hover = false;
};

// face with every pixel of exactly keyColour (0xRRGGBB) made transparent.
QImage KeyOutColour(const QImage& face, QRgb keyColour);

}  // namespace jasokit
