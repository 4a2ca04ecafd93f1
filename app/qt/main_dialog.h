#pragma once
// The one window: the converter panel, the zip code panel and the banner,
// drawn on the background picture. Enter runs the conversion or the zip
// search depending on which edit box last took the focus. Its controls are
// reached by their object names: inputBox, outputBox, zipQueryBox, zipList,
// banner, copyInputButton, copyOutputButton, copyQueryButton, resetButton;
// the checkable menu items for the official style, for names and for the
// zip search's source are the QActions officialStyleAction, nameModeAction
// and currentPostcodeAction.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "app/dialog/dialog_logic.h"
#include "app/qt/banner.h"
#include "jasokit/zip.h"

class QAction;
class QFont;
class QLabel;
class QLineEdit;
class QListWidget;
class QTimer;

namespace jasokit {

class CWebBrowser2;
class SkinButton;

struct MainDialogSetup {
  // Fills the zip code table; empty: the file beside the executable.
  std::function<ZipLoadStatus(ZipDatabase&)> loadZipTable;
  BannerSettings banner;
  // The address database; empty: the one chosen with the database item
  // (kept in the settings), else DefaultAddressDbPath(). Without one, the
  // zip search uses the table alone.
  std::string addressDbPath;
  // Asks for a database file; empty: a file dialog. "" when none was chosen.
  std::function<std::string(QWidget*)> chooseAddressDbFile;
};

class MainDialog : public QDialog, private DialogView {
  Q_OBJECT

 public:
  explicit MainDialog(const MainDialogSetup& setup = {}, QWidget* parent = nullptr);
  ~MainDialog() override;

  // Enter: the conversion request (runConversion, or runNameRomanization
  // with the name item checked), the zip search (runZipSearch) or, for any
  // other box, a message with its number.
  void dispatchEnter();

  void readBoxes() { m_logic.readBoxes(); }
  void writeBoxes() { m_logic.writeBoxes(); }
  void runConversion() { m_logic.runConversion(); }
  void runNameRomanization() { m_logic.runNameRomanization(); }  // Enter in the input box with the name item checked
  void runZipSearch() { m_logic.runZipSearch(); }
  void onListSelect();
  // The search box's hint: what may be typed in database mode.
  void updateSearchHint();
  void resetAll() { m_logic.resetAll(); }
  void showAbout();

  // 0 none, 1 input box, 2 output box, 3 zip search box.
  int focusedBox() const { return m_logic.focusedBox(); }
  // False when networking could not start: no box gets the first focus.
  bool initialFocusSet() const { return m_initialFocus; }

  // The boxes' texts as last read or written, in UTF-8.
  const std::string& inputText() const { return m_logic.inputText(); }
  const std::string& outputText() const { return m_logic.outputText(); }
  const std::string& zipQuery() const { return m_logic.zipQuery(); }
  const ZipDatabase& zipDatabase() const { return m_logic.zipDatabase(); }
  // Not Ok when the table could not be loaded: the dialog is then not set up
  // and must not be shown; the program reports it and ends.
  ZipLoadStatus zipLoadStatus() const { return m_zipLoadStatus; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void createControls();
  void initDialog(const BannerSettings& banner);
  void setUpAddressDb(const std::string& path);
  void chooseAddressDb();
  void useAddressDb(bool open);
  QLineEdit* box(int number) const;

  // DialogView
  std::string boxText(int box) const override;
  void setBoxText(int box, const std::string& text) override;
  void setListLines(const std::vector<std::string>& lines) override;
  void showMessage(const std::string& text) override;
  void showNote(const std::string& text) override;
  bool setClipboardText(const std::string& text) override;

  DialogLogic m_logic{*this};
  SkinButton* m_resetButton = nullptr;
  SkinButton* m_copyQueryButton = nullptr;
  SkinButton* m_copyOutputButton = nullptr;
  SkinButton* m_copyInputButton = nullptr;
  QListWidget* m_zipList = nullptr;
  CWebBrowser2* m_browser = nullptr;
  QLineEdit* m_inputBox = nullptr;
  QLineEdit* m_outputBox = nullptr;
  QLineEdit* m_zipQueryBox = nullptr;
  QAction* m_officialStyleAction = nullptr;    // checked: conversions use Style::Official
  QAction* m_nameModeAction = nullptr;         // checked: Enter romanizes the input as a personal name
  QAction* m_currentPostcodeAction = nullptr;  // checked: the zip search asks the address database
  QAction* m_chooseAddressDbAction = nullptr;
  std::function<std::string(QWidget*)> m_chooseAddressDbFile;
  QLabel* m_sampleLabel = nullptr;  // shown for the sample table
  ZipLoadStatus m_zipLoadStatus = ZipLoadStatus::Ok;
  bool m_initialFocus = false;
  bool m_fillingList = false;      // list changes made by the program notify nothing
  QTimer* m_typedTimer = nullptr;  // the pause after typing in the search box
};

// The dialog font: the Korean system font, 9 point.
QFont DialogFont();

}  // namespace jasokit
