#pragma once
// The About box: icon, name and version, release year, and an OK button.
#include <QDialog>

namespace jasokit {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace jasokit
