// The picture buttons: which face shows when, and the key colour really
// letting the background through. Runs with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include "app/qt/main_dialog.h"
#include "gui-test-util.h"
#include "app/dialog/dialog_layout.h"
#include "app/qt/resources.h"
#include "app/qt/skin_button.h"

using namespace jasokit;
using Face = SkinButton::Face;
Q_DECLARE_METATYPE(Face)

namespace {

// A plain window with one Copy button on a solid ground, and a line edit
// to take the focus away.
struct Stage {
  QWidget window;
  SkinButton* button;
  QLineEdit* other;

  // Each stage stands elsewhere on the screen, so that the pointer left
  // over an earlier one is not over this one's button when it appears.
  explicit Stage(const QColor& ground) {
    static int count = 0;
    window.setGeometry(40 + 220 * (count % 3), 40 + 140 * (count / 3 % 3), 200, 100);
    ++count;
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, ground);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    button = new SkinButton(&window);
    button->setGeometry(20, 20, 37, 21);
    button->setFaces(layout::kIdCopyFace, layout::kIdCopyFace, layout::kIdCopyHoverFace, 0xFFFFFF);
    other = new QLineEdit(&window);
    other->setGeometry(100, 20, 80, 20);
    window.show();
  }
};

QPoint Inside(const SkinButton* b) { return b->rect().center(); }
// Another point over the button, so that a move there is a move.
QPoint ElsewhereInside(const SkinButton* b) { return b->rect().center() + QPoint(3, 1); }

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count() const { return m_count; }
  void reset() { m_count = 0; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++m_count;
    return QObject::eventFilter(watched, event);
  }

 private:
  int m_count = 0;
};

// Lets pending repaints arrive.
void Settle() { QTest::qWait(20); }

// A position in the face image whose pixel is exactly white (part of a letter).
QPoint WhiteFacePixel(const QImage& face) {
  for (int y = 0; y < face.height(); ++y) {
    for (int x = 0; x < face.width(); ++x) {
      if ((face.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) return {x, y};
    }
  }
  return {-1, -1};
}

}  // namespace

class SkinButtonTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void facesAreEmbedded() {
    for (int id : {layout::kIdCopyFace, layout::kIdCopyHoverFace, layout::kIdResetFace, layout::kIdResetHoverFace}) {
      const QImage face = LoadBitmap(id);
      QCOMPARE(face.size(), QSize(layout::kFaceWidth, layout::kFaceHeight));
      QVERIFY2(WhiteFacePixel(face).x() >= 0, "a face without white letters");
    }
    QCOMPARE(LoadBitmap(layout::kIdBackground).size(), QSize(600, 500));
    QVERIFY(LoadBitmap(999).isNull());
    QVERIFY(!ApplicationIcon().isNull());
  }

  void onlyTheExactKeyColourIsTransparent() {
    QImage face(3, 1, QImage::Format_RGB32);
    face.setPixel(0, 0, qRgb(255, 255, 255));
    face.setPixel(1, 0, qRgb(254, 255, 255));
    face.setPixel(2, 0, qRgb(0, 128, 0));
    const QImage keyed = KeyOutColour(face, 0xFFFFFF);
    QCOMPARE(qAlpha(keyed.pixel(0, 0)), 0);
    QCOMPARE(keyed.pixel(1, 0), qRgb(254, 255, 255));
    QCOMPARE(keyed.pixel(2, 0), qRgb(0, 128, 0));
    // The key is a colour, not white as such.
    const QImage green = KeyOutColour(face, 0x008000);
    QCOMPARE(qAlpha(green.pixel(2, 0)), 0);
    QCOMPARE(qAlpha(green.pixel(0, 0)), 255);
  }

  void faceFollowsThePointerAndTheFocus() {
    Stage stage(Qt::blue);
    QVERIFY(QTest::qWaitForWindowActive(&stage.window));
    SkinButton* b = stage.button;
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    QCOMPARE(b->currentFace(), Face::Normal);

    QTest::mouseMove(b, Inside(b));
    QTRY_COMPARE(b->currentFace(), Face::Hover);

    QTest::mousePress(b, Qt::LeftButton, {}, Inside(b));
    QCOMPARE(b->currentFace(), Face::Pressed);
    QTest::mouseRelease(b, Qt::LeftButton, {}, Inside(b));
    QCOMPARE(b->currentFace(), Face::Hover);
    QCOMPARE(clicks.count(), 1);

    QTest::mouseMove(&stage.window, QPoint(5, 80));
    QTRY_COMPARE(b->currentFace(), Face::Normal);

    // Losing the focus ends the hover state at once.
    QTest::mouseMove(b, Inside(b));
    QTRY_COMPARE(b->currentFace(), Face::Hover);
    b->setFocus();
    QTRY_VERIFY(b->hasFocus());
    stage.other->setFocus();
    QTRY_VERIFY(stage.other->hasFocus());
    QCOMPARE(b->currentFace(), Face::Normal);
  }

  void draggingOffWhilePressedDropsTheHoverAndTheClick() {
    Stage stage(Qt::blue);
    QVERIFY(QTest::qWaitForWindowActive(&stage.window));
    SkinButton* b = stage.button;
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    QTest::mouseMove(b, Inside(b));
    QTest::mousePress(b, Qt::LeftButton, {}, Inside(b));
    QCOMPARE(b->currentFace(), Face::Pressed);
    // A move with the mouse button held, off the button but inside the window.
    const QPoint off(-10, 30);
    QTest::mouseMove(b, off);
    QTRY_COMPARE(b->currentFace(), Face::Normal);
    QTest::mouseRelease(b, Qt::LeftButton, {}, off);
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(b->currentFace(), Face::Normal);
  }

  void moveAfterLosingTheFocusHoversAgain() {
    Stage stage(Qt::blue);
    QVERIFY(QTest::qWaitForWindowActive(&stage.window));
    SkinButton* b = stage.button;
    PaintCounter paints(b);
    QTest::mouseMove(b, Inside(b));
    QTRY_COMPARE(b->currentFace(), Face::Hover);
    QTest::mouseClick(b, Qt::LeftButton, {}, Inside(b));
    QCOMPARE(b->currentFace(), Face::Hover);
    QVERIFY(b->hasFocus());
    // After the click the button still follows the pointer.
    QTest::mouseMove(b, ElsewhereInside(b));
    QCOMPARE(b->currentFace(), Face::Hover);

    // Tab: the normal face is painted before any other event is handled.
    Settle();
    paints.reset();
    QTest::keyClick(b, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), stage.other);
    QCOMPARE(b->currentFace(), Face::Normal);
    QCOMPARE(paints.count(), 1);

    // The next move over the button takes the hover again; no need to
    // leave and come back.
    QTest::mouseMove(b, Inside(b));
    QTRY_COMPARE(b->currentFace(), Face::Hover);
    QTRY_VERIFY(paints.count() >= 2);  // and redrawn
  }

  void moveWithinTheHoveredButtonChangesNothing() {
    Stage stage(Qt::blue);
    QVERIFY(QTest::qWaitForWindowActive(&stage.window));
    SkinButton* b = stage.button;
    PaintCounter paints(b);
    QTest::mouseMove(b, Inside(b));
    QTRY_COMPARE(b->currentFace(), Face::Hover);
    Settle();
    paints.reset();
    for (const QPoint& at : {ElsewhereInside(b), QPoint(1, 1), Inside(b)}) {
      QTest::mouseMove(b, at);
      Settle();
      QCOMPARE(b->currentFace(), Face::Hover);
    }
    QCOMPARE(paints.count(), 0);
  }

  void comingBackWhileHeldGivesNoClick_data() {
    QTest::addColumn<bool>("hoverFirst");
    QTest::addColumn<Face>("pressedFace");
    QTest::newRow("pressed while hovering") << true << Face::Pressed;
    // A press that comes with no move before it, as after a focus change.
    QTest::newRow("pressed without a move") << false << Face::Normal;
  }

  void comingBackWhileHeldGivesNoClick() {
    QFETCH(bool, hoverFirst);
    QFETCH(Face, pressedFace);
    Stage stage(Qt::blue);
    QVERIFY(QTest::qWaitForWindowActive(&stage.window));
    SkinButton* b = stage.button;
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    if (hoverFirst) {
      QTest::mouseMove(b, Inside(b));
      QTRY_COMPARE(b->currentFace(), Face::Hover);
    }
    QTest::mousePress(b, Qt::LeftButton, {}, Inside(b));
    QVERIFY(b->isDown());
    QCOMPARE(b->currentFace(), pressedFace);

    // Off the button with the mouse button held: the press is over.
    QTest::mouseMove(b, QPoint(-10, 30));
    QCOMPARE(b->currentFace(), Face::Normal);
    QTest::mouseMove(b, QPoint(-20, 40));
    QCOMPARE(b->currentFace(), Face::Normal);
    // Back over it, still held: hovering again, but not pressed.
    QTest::mouseMove(b, Inside(b));
    QCOMPARE(b->currentFace(), Face::Hover);
    QVERIFY(!b->isDown());
    QTest::mouseRelease(b, Qt::LeftButton, {}, Inside(b));
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(b->currentFace(), Face::Hover);

    // The next press is a press like any other.
    QTest::mouseClick(b, Qt::LeftButton, {}, Inside(b));
    QCOMPARE(clicks.count(), 1);
  }

  void losingTheFocusWhileHeldEndsThePress() {
    Stage stage(Qt::blue);
    QVERIFY(QTest::qWaitForWindowActive(&stage.window));
    SkinButton* b = stage.button;
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    QTest::mouseMove(b, Inside(b));
    QTRY_COMPARE(b->currentFace(), Face::Hover);
    QTest::mousePress(b, Qt::LeftButton, {}, Inside(b));
    QCOMPARE(b->currentFace(), Face::Pressed);
    stage.other->setFocus(Qt::OtherFocusReason);
    QCOMPARE(b->currentFace(), Face::Normal);

    QTest::mouseMove(b, ElsewhereInside(b));
    QCOMPARE(b->currentFace(), Face::Hover);
    QVERIFY(!b->isDown());
    QTest::mouseRelease(b, Qt::LeftButton, {}, ElsewhereInside(b));
    QCOMPARE(clicks.count(), 0);
  }

  void keyColourShowsTheBackground() {
    const QImage face = LoadBitmap(layout::kIdCopyFace);
    const QPoint letter = WhiteFacePixel(face);
    const QPoint plate(3, 3);
    QVERIFY((face.pixel(plate) & 0xFFFFFF) != 0xFFFFFF);

    // On a plain window: the letters show its ground colour.
    Stage stage(QColor(0, 0, 255));
    QVERIFY(QTest::qWaitForWindowActive(&stage.window));
    QCOMPARE(stage.button->currentFace(), Face::Normal);
    const QPoint origin = stage.button->pos() + QPoint((37 - face.width()) / 2, (21 - face.height()) / 2);
    QImage shot = stage.window.grab().toImage();
    QCOMPARE(shot.pixel(origin + letter) & 0xFFFFFF, QColor(0, 0, 255).rgb() & 0xFFFFFF);
    QCOMPARE(shot.pixel(origin + plate) & 0xFFFFFF, face.pixel(plate) & 0xFFFFFF);

    // In the window itself: the letters show the background picture.
    MainDialogSetup setup;
    setup.loadZipTable = [](ZipDatabase&) { return ZipLoadStatus::Ok; };
    setup.banner.startNetworking = [] { return true; };
    setup.banner.checkAddress = QStringLiteral("not an address");
    MainDialog dialog(setup);
    const test::Controls c(dialog);
    QVERIFY(c.complete());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QImage background = LoadBitmap(layout::kIdBackground).convertToFormat(QImage::Format_RGB32);
    shot = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (SkinButton* b : {c.copyInputButton, c.resetButton}) {
      const QImage buttonFace = LoadBitmap(b == c.resetButton ? layout::kIdResetFace : layout::kIdCopyFace);
      const QPoint at = b->pos() +
                        QPoint((b->width() - buttonFace.width()) / 2, (b->height() - buttonFace.height()) / 2) +
                        WhiteFacePixel(buttonFace);
      QCOMPARE(shot.pixel(at), background.pixel(at));
      QVERIFY(shot.pixel(at) != qRgb(255, 255, 255));
    }
  }
};

QTEST_MAIN(SkinButtonTest)
#include "skin-button-test.moc"
