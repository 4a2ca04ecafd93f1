#pragma once
// Helpers shared by the desktop program's tests.
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

#include "romanize/cp949.h"
#include "ui/message_box.h"
#include "zipcode/zip_database.h"

namespace jasokit::test {

// Collects the texts of the message boxes that would be shown.
class MessageRecorder {
 public:
  MessageRecorder() {
    m_previous = SetMessageFunction([this](QWidget*, const QString& text) { m_texts.append(text); });
  }
  ~MessageRecorder() { SetMessageFunction(m_previous); }
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  const QStringList& texts() const { return m_texts; }
  void clear() { m_texts.clear(); }

 private:
  QStringList m_texts;
  MessageFunction m_previous;
};

inline std::string Cp(std::string_view utf8) {
  std::string out;
  Utf8ToCp949(utf8, out);
  return out;
}

// A CP949 text space-filled to a fixed field width, as the table stores it.
inline std::string Field(std::string_view utf8, std::size_t width) {
  std::string text = Cp(utf8);
  text.resize(width, ' ');
  return text;
}

inline ZipRecord Record(std::string_view zip, std::string_view province, std::string_view district,
                        std::string_view locality, std::string_view detail) {
  return ZipRecord{std::string(zip), Field(province, 4), Field(district, 13), Cp(locality), Field(detail, 17)};
}

}  // namespace jasokit::test
