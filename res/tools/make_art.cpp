// Paints the program's pictures: the window background, the four button
// faces and the application icon. Run by hand after changing the artwork:
//
//   cmake --build build --target jasokit-art
//   build/app/jasokit-art res/images
//
// Korean text is drawn with NanumGothic from fonts-nanum, loaded from its
// file so that the result does not depend on the fonts configured on the
// machine. The geometry comes from app/dialog/dialog_layout.h, so the field frames
// line up with the controls of the window.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <QString>
#include <QtEndian>
#include <cstdio>
#include <vector>

#include "app/dialog/dialog_layout.h"

namespace {

using namespace jasokit::layout;

constexpr const char* kRegularFontFile = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";
constexpr const char* kBoldFontFile = "/usr/share/fonts/truetype/nanum/NanumGothicBold.ttf";

const QColor kGround(0xE9, 0xE4, 0xD8);
const QColor kPanel(0xF7, 0xF4, 0xEC);
const QColor kPanelEdge(0xB5, 0xAC, 0x96);
const QColor kFieldEdge(0x8C, 0x86, 0x78);
const QColor kHeading(0x2C, 0x4A, 0x6B);
const QColor kText(0x33, 0x33, 0x33);
const QColor kFooter(0x5B, 0x56, 0x4A);
const QColor kPostRed(0xD3, 0x24, 0x1C);

QString g_regularFamily;
QString g_boldFamily;

QString LoadFamily(const char* file) {
  const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
  if (id < 0) return {};
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  return families.isEmpty() ? QString() : families.first();
}

QFont Font(bool bold, int pixelSize) {
  QFont font(bold ? g_boldFamily : g_regularFamily);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

QRect ToQRect(PixelRect r) { return QRect(r.x, r.y, r.width, r.height); }

// A white field with a one-pixel edge, two pixels outside the control, so a
// frameless box sitting on it looks framed.
void DrawFieldFrame(QPainter& p, PixelRect control) {
  const QRect outer = ToQRect(control).adjusted(-2, -2, 2, 2);
  p.fillRect(outer, Qt::white);
  p.setPen(kFieldEdge);
  p.setBrush(Qt::NoBrush);
  p.drawRect(outer.adjusted(0, 0, -1, -1));
}

void DrawPanel(QPainter& p, const QRect& r, const QString& heading) {
  p.setPen(kPanelEdge);
  p.setBrush(kPanel);
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.fillRect(QRect(r.left() + 1, r.top() + 1, 4, r.height() - 2), kHeading);
  p.setFont(Font(true, 15));
  p.setPen(kHeading);
  p.drawText(QRect(r.left() + 16, r.top() + 5, r.width() - 32, 20), Qt::AlignLeft | Qt::AlignVCenter, heading);
}

void DrawLine(QPainter& p, int x, int top, const QString& text, const QColor& colour = kText) {
  p.setFont(Font(false, 12));
  p.setPen(colour);
  p.drawText(QRect(x, top, 520, 15), Qt::AlignLeft | Qt::AlignVCenter, text);
}

// The post box of the icon, drawn in a 256 x 256 space.
void DrawPostBox(QPainter& p) {
  p.setPen(Qt::NoPen);
  // Foot.
  p.setBrush(QColor(0x4A, 0x4A, 0x4A));
  p.drawRoundedRect(QRectF(72, 220, 112, 24), 6, 6);
  // Body with a rounded top.
  QPainterPath body;
  body.moveTo(64, 228);
  body.lineTo(64, 96);
  body.cubicTo(64, 40, 192, 40, 192, 96);
  body.lineTo(192, 228);
  body.closeSubpath();
  p.setBrush(kPostRed);
  p.drawPath(body);
  // Highlight down the left side.
  p.setBrush(QColor(0xEE, 0x5A, 0x4E));
  p.drawRoundedRect(QRectF(76, 92, 14, 122), 7, 7);
  // Collection plate.
  p.setBrush(QColor(0xF4, 0xE9, 0xD0));
  p.drawRoundedRect(QRectF(100, 160, 56, 36), 4, 4);
  p.setBrush(kPostRed);
  p.drawRect(QRectF(110, 172, 36, 4));
  p.drawRect(QRectF(110, 182, 24, 4));
  // The slot, and a letter going into it.
  p.setBrush(QColor(0x22, 0x22, 0x22));
  p.drawRoundedRect(QRectF(80, 112, 96, 16), 6, 6);
  p.save();
  p.setClipRect(QRectF(0, 0, 256, 120));
  p.translate(128, 74);
  p.rotate(-8);
  p.setBrush(Qt::white);
  p.setPen(QPen(QColor(0x55, 0x55, 0x55), 4));
  p.drawRect(QRectF(-40, -44, 80, 96));
  p.drawLine(QPointF(-40, -44), QPointF(0, -14));
  p.drawLine(QPointF(40, -44), QPointF(0, -14));
  p.restore();
}

QImage PaintIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 256.0, size / 256.0);
  DrawPostBox(p);
  return image;
}

QImage PaintBackground(const QImage& logoIcon) {
  QImage image(kBackgroundWidth, kBackgroundHeight, QImage::Format_RGB32);
  image.fill(kGround);
  QPainter p(&image);
  p.setRenderHint(QPainter::TextAntialiasing);

  // Logo area, top left.
  p.drawImage(QPoint(22, 14), logoIcon);
  p.setPen(kHeading);
  p.setFont(Font(true, 26));
  p.drawText(QRect(80, 14, 150, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Jaso_Kit"));
  p.setFont(Font(false, 12));
  p.setPen(kText);
  p.drawText(QRect(82, 50, 150, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("주소변환 · 우편번호"));

  // Behind the banner panel, in case the page leaves parts unpainted.
  const QRect banner = ToQRect(ToPixels(kBannerUnits));
  p.fillRect(banner.adjusted(-1, -1, 1, 1), kPanelEdge);
  p.fillRect(banner, Qt::white);

  // Converter panel.
  const PixelRect input = ToPixels(kInputUnits);
  const PixelRect output = ToPixels(kOutputUnits);
  DrawPanel(p, QRect(24, 92, 552, 168), QStringLiteral("주소변환기"));
  DrawLine(p, input.x, 117, QStringLiteral("영문으로 바꿀 주소를 입력한 후 Enter 키를 누르세요."));
  DrawLine(p, input.x, 133, QStringLiteral("주소가 아닌 글은 로마자 표기법에 따라 한글을 로마자로 바꿉니다."));
  DrawLine(p, input.x, 149, QStringLiteral("변환할 한글을 입력하세요."));
  DrawFieldFrame(p, input);
  DrawLine(p, input.x, output.y - 20, QStringLiteral("변환된 로마자"), kHeading);
  DrawFieldFrame(p, output);

  // Zip code panel.
  const PixelRect query = ToPixels(kZipQueryUnits);
  const PixelRect list = ToPixels(kZipListUnits);
  DrawPanel(p, QRect(24, 268, 552, 172), QStringLiteral("우편번호찾기"));
  DrawLine(p, query.x, 296, QStringLiteral("찾으실 동, 읍, 면의 이름을 입력한 후 Enter 키를 누르세요. (예: 역삼동)"));
  DrawFieldFrame(p, query);
  DrawFieldFrame(p, list);

  // Footer notice along the bottom edge (the last three rows lie below the
  // 497-pixel client area).
  p.fillRect(QRect(0, 462, kBackgroundWidth, kBackgroundHeight - 462), kFooter);
  p.setFont(Font(false, 11));
  p.setPen(QColor(0xF2, 0xEE, 0xE4));
  p.drawText(QRect(0, 464, kBackgroundWidth, 30), Qt::AlignCenter,
             QStringLiteral("변환 결과와 우편번호는 참고용입니다. 이 프로그램의 사용으로 생긴 결과에 대해서는 "
                            "책임지지 않습니다."));
  return image;
}

// A plate with white letters inside a one-pixel black border. The letters
// are thresholded to pure white so that all of them match the key colour.
QImage PaintFace(const QColor& plate, const QString& word, int pixelSize) {
  QImage mask(kFaceWidth, kFaceHeight, QImage::Format_ARGB32_Premultiplied);
  mask.fill(Qt::transparent);
  {
    QPainter p(&mask);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(Font(true, pixelSize));
    p.setPen(Qt::black);
    p.drawText(QRect(1, 1, kFaceWidth - 2, kFaceHeight - 2), Qt::AlignCenter, word);
  }
  QImage face(kFaceWidth, kFaceHeight, QImage::Format_RGB32);
  face.fill(plate);
  for (int y = 1; y < kFaceHeight - 1; ++y) {
    for (int x = 1; x < kFaceWidth - 1; ++x) {
      if (qAlpha(mask.pixel(x, y)) >= 112) face.setPixel(x, y, qRgb(255, 255, 255));
    }
  }
  QPainter p(&face);
  p.setPen(Qt::black);
  p.drawRect(0, 0, kFaceWidth - 1, kFaceHeight - 1);
  return face;
}

// A Windows icon file holding PNG images (one per size).
bool WriteIco(const QString& path, const std::vector<QImage>& images) {
  QByteArray directory;
  QByteArray data;
  auto put16 = [](QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
  };
  auto put32 = [](QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
  };
  std::vector<QByteArray> pngs;
  for (const QImage& image : images) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    pngs.push_back(png);
  }
  put16(directory, 0);
  put16(directory, 1);
  put16(directory, static_cast<quint16>(images.size()));
  quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int size = images[i].width();
    directory.append(static_cast<char>(size >= 256 ? 0 : size));
    directory.append(static_cast<char>(size >= 256 ? 0 : size));
    directory.append('\0');  // no palette
    directory.append('\0');
    put16(directory, 1);   // colour planes
    put16(directory, 32);  // bits per pixel
    put32(directory, static_cast<quint32>(pngs[i].size()));
    put32(directory, offset);
    offset += static_cast<quint32>(pngs[i].size());
    data.append(pngs[i]);
  }
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  return file.write(directory + data) == directory.size() + data.size();
}

bool Save(const QImage& image, const QDir& dir, const QString& name) {
  const QString path = dir.filePath(name);
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "jasokit-art: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2 || QByteArray(argv[1]) == "--help") {
    std::fprintf(argc == 2 ? stdout : stderr,
                 "usage: jasokit-art DIRECTORY\n"
                 "Paints background.png, the button faces and the icon into DIRECTORY.\n");
    return argc == 2 ? 0 : 2;
  }
  g_regularFamily = LoadFamily(kRegularFontFile);
  g_boldFamily = LoadFamily(kBoldFontFile);
  if (g_regularFamily.isEmpty() || g_boldFamily.isEmpty()) {
    std::fprintf(stderr, "jasokit-art: NanumGothic not found (install fonts-nanum)\n");
    return 1;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.exists()) {
    std::fprintf(stderr, "jasokit-art: no such directory: %s\n", argv[1]);
    return 1;
  }

  const QColor green(0x2E, 0x8B, 0x3A);
  const QColor red(0xD0, 0x2A, 0x22);
  const QColor purple(0x6E, 0x3A, 0x9A);
  std::vector<QImage> icons;
  for (int size : {16, 32, 48, 256}) icons.push_back(PaintIcon(size));

  bool ok = true;
  ok &= Save(PaintBackground(PaintIcon(48)), dir, QStringLiteral("background.png"));
  ok &= Save(PaintFace(green, QStringLiteral("복사"), 12), dir, QStringLiteral("copy.png"));
  ok &= Save(PaintFace(red, QStringLiteral("복사"), 12), dir, QStringLiteral("copy_hover.png"));
  ok &= Save(PaintFace(purple, QStringLiteral("초기화"), 11), dir, QStringLiteral("reset.png"));
  ok &= Save(PaintFace(red, QStringLiteral("초기화"), 11), dir, QStringLiteral("reset_hover.png"));
  for (const QImage& icon : icons) {
    ok &= Save(icon, dir, QStringLiteral("icon_%1.png").arg(icon.width()));
  }
  if (!WriteIco(dir.filePath(QStringLiteral("icon.ico")), icons)) {
    std::fprintf(stderr, "jasokit-art: cannot write icon.ico\n");
    ok = false;
  }
  return ok ? 0 : 1;
}
