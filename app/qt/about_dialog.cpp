#include "app/qt/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/qt/main_dialog.h"
#include "app/dialog/dialog_layout.h"
#include "app/qt/resources.h"
#include "jasokit/version.h"

namespace jasokit {

namespace {

QRect Place(layout::UnitRect units) {
  const layout::PixelRect r = layout::ToPixels(units);
  return QRect(r.x, r.y, r.width, r.height);
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Jaso_Kit 정보"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(Place(layout::kAboutDialogUnits).size());
  setFont(DialogFont());

  auto* icon = new QLabel(this);
  icon->setPixmap(ApplicationIcon().pixmap(32, 32));
  icon->setGeometry(QRect(Place(layout::kAboutIconUnits).topLeft(), QSize(32, 32)));

  auto* version =
      new QLabel(QStringLiteral("Jaso_Kit 버전 %1.%2").arg(JASOKIT_VERSION_MAJOR).arg(JASOKIT_VERSION_MINOR), this);
  version->setGeometry(Place(layout::kAboutVersionUnits));
  auto* year = new QLabel(QStringLiteral("Copyright (C) 2003"), this);
  year->setGeometry(Place(layout::kAboutYearUnits));

  auto* ok = new QPushButton(QStringLiteral("확인"), this);
  ok->setGeometry(Place(layout::kAboutOkUnits));
  ok->setDefault(true);
  ok->setFocus();
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace jasokit
