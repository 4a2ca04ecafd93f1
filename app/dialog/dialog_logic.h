#pragma once
// What the main window does, apart from drawing it: the three box texts,
// which box has the focus, the Enter dispatch, the result list and the
// choice of a row, Copy, Reset and the style choices. Both desktop windows
// (Qt and Win32) drive it through DialogView, so they behave alike.
// No toolkit here: only the public library API.
#include <cstddef>
#include <string>
#include <vector>

#include "jasokit/address_db.h"
#include "jasokit/style.h"
#include "jasokit/zip.h"

namespace jasokit {

// The boxes by the numbers the focus tracking uses; Enter elsewhere shows
// the number.
inline constexpr int kNoBox = 0;
inline constexpr int kInputBox = 1;
inline constexpr int kOutputBox = 2;
inline constexpr int kZipQueryBox = 3;

// The menu texts and the tip shared by both windows (UTF-8).
inline constexpr const char* kAboutItemText = "Jaso_Kit 정보(&A)...";
inline constexpr const char* kOfficialStyleText = "공식 영문 주소 (도로명)";
inline constexpr const char* kNameModeText = "이름 (여권)";
inline constexpr const char* kCurrentPostcodeText = "최신 우편번호 (5자리)";
inline constexpr const char* kChooseAddressDbText = "주소 데이터베이스 파일 선택…";
inline constexpr const char* kSampleTableLabel = "견본 우편번호표: 우편번호는 가상입니다 (sample)";
inline constexpr const char* kNoAddressDbTip =
    "주소 DB가 없습니다. 우체국 \"우편번호 DB\"(지역별 주소 DB)를 받아\n"
    "jasokit addrdb build 파일... --install 로 만드세요.";
inline constexpr const char* kMainCaption = "주소변환기 + 우편번호찾기";
// The search box's hint in database mode: what may be typed.
inline constexpr const char* kDatabaseSearchHint = "도로명과 번호, 건물 이름, 동 이름 (예: 테헤란로 152, 역삼동)";
// Matches listed as the user types.
inline constexpr std::size_t kTypedMatches = 20;

// The window side: every text is UTF-8.
class DialogView {
 public:
  virtual ~DialogView() = default;
  virtual std::string boxText(int box) const = 0;
  virtual void setBoxText(int box, const std::string& text) = 0;
  // Replaces the result list, shown in this order.
  virtual void setListLines(const std::vector<std::string>& lines) = 0;
  // A message box with an OK button.
  virtual void showMessage(const std::string& text) = 0;
  // False when the clipboard could not be had; nothing is said then.
  virtual bool setClipboardText(const std::string& text) = 0;
  // A note beside the result, never a box to dismiss: the conversion's
  // first warning, or "" to clear it. A window without a place for it
  // leaves it out.
  virtual void showNote(const std::string& text) { static_cast<void>(text); }
};

class DialogLogic {
 public:
  explicit DialogLogic(DialogView& view) : m_view(view) {}

  ZipDatabase& zipDatabase() { return m_zipDatabase; }
  const ZipDatabase& zipDatabase() const { return m_zipDatabase; }
  // Opens the first of paths that is a database; false if none is.
  bool openAddressDb(const std::vector<std::string>& paths);
  // A file the user chose as the database: opened if it is one; otherwise a
  // message says why, and the database open before stays.
  bool chooseAddressDb(const std::string& path);
  bool addressDbOpen() const { return m_addressDb.isOpen(); }

  // Focus notifications of the three boxes.
  void focusGained(int box) { m_focusedBox = box; }
  void focusLost() { m_focusedBox = kNoBox; }
  int focusedBox() const { return m_focusedBox; }

  // Enter: the conversion (or the name romanization with the name mode on)
  // in the input box, the search in the search box, elsewhere a message
  // with the box's number.
  void dispatchEnter();
  void readBoxes();
  void writeBoxes();
  void runConversion();
  void runNameRomanization();
  void runZipSearch();
  // The search box was typed in (after a pause): in database mode the list
  // fills with the best matches, and a text that matches nothing says
  // nothing; the classic search waits for Enter.
  void zipTyped();
  // A row of the result list was chosen: its address goes into the input
  // box, with the details (동, 호, 층) typed in the search box after it, and
  // is converted.
  void chooseLine(std::size_t index);
  // Copies the box's current text.
  void copyBox(int box);
  void resetAll();

  bool officialStyle() const { return m_officialStyle; }
  void setOfficialStyle(bool on) { m_officialStyle = on; }
  bool nameMode() const { return m_nameMode; }
  void setNameMode(bool on) { m_nameMode = on; }
  // The zip search asks the address database; only with one open.
  bool currentPostcode() const { return m_currentPostcode && addressDbOpen(); }
  void setCurrentPostcode(bool on) { m_currentPostcode = on; }

  const std::string& inputText() const { return m_inputText; }
  const std::string& outputText() const { return m_outputText; }
  const std::string& zipQuery() const { return m_zipQuery; }
  std::size_t lineCount() const { return m_lines.size(); }

 private:
  struct Line {
    std::string text;     // as shown
    std::string address;  // what choosing it converts (UTF-8)
    bool official;        // a road-name address of the database: always official style
  };

  void convertIn(Style style);
  void showLines(std::vector<Line> lines);
  std::vector<Line> tableLines() const;
  std::vector<Line> databaseLines(std::size_t limit) const;

  DialogView& m_view;
  int m_focusedBox = kNoBox;
  std::string m_inputText;
  std::string m_outputText;
  std::string m_zipQuery;
  std::vector<Line> m_lines;
  bool m_officialStyle = false;
  bool m_nameMode = false;
  bool m_currentPostcode = false;
  AddressDatabase m_addressDb;
  ZipDatabase m_zipDatabase;
};

}  // namespace jasokit
