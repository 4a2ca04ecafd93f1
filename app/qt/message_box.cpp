#include "app/qt/message_box.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>
#include <utility>

namespace jasokit {

namespace {

MessageFunction& CurrentFunction() {
  static MessageFunction function;
  return function;
}

}  // namespace

QString ApplicationTitle() { return QCoreApplication::applicationName(); }

void ShowMessageBox(QWidget* parent, const QString& text) {
  // A label would show a carriage return as a glyph of its own.
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::Warning, ApplicationTitle(), shown, QMessageBox::Ok, parent);
  box.exec();
}

void ShowMessage(QWidget* parent, const QString& text) {
  const MessageFunction& function = CurrentFunction();
  if (function) {
    function(parent, text);
  } else {
    ShowMessageBox(parent, text);
  }
}

MessageFunction SetMessageFunction(MessageFunction function) {
  return std::exchange(CurrentFunction(), std::move(function));
}

}  // namespace jasokit
