#pragma once
// A push button drawn as a picture: one of three faces, centred, with every
// face pixel of the key colour left out so the window's background shows
// through. The hover face is shown while the button follows the pointer:
// from a mouse move over it until the pointer leaves it or the button loses
// the keyboard focus. Losing the pointer that way also ends a press in
// progress, so releasing the mouse button later gives no click.
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
  // not load stays empty and draws nothing.
  void setFaces(int normalId, int pressedId, int hoverId, QRgb keyColour);

  // The face the next paint draws.
  Face currentFace() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // The left mouse button pressed on the button: followed to its release,
  // or ended by losing the pointer while still held.
  enum class Press { None, Followed, Ended };

  // Into and out of the hover state; releasing redraws at once or later.
  void takePointer();
  void releasePointer(bool repaintNow);
  // A followed press stops counting: the button comes up and stays up.
  void endPress();

  QImage m_faceNormal;
  QImage m_facePressed;
  QImage m_faceHover;
  bool m_hover = false;
  Press m_press = Press::None;
};

// face with every pixel of exactly keyColour (0xRRGGBB) made transparent.
QImage KeyOutColour(const QImage& face, QRgb keyColour);

}  // namespace jasokit
