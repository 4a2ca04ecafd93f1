#pragma once
// The main window as a Win32 dialog (template 102): the boxes, the result
// list, the four skinned buttons on the background picture, the banner
// panel and the system menu's About and style items. What the window does
// is DialogLogic's; this class shows it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
// winsock2.h first: windows.h would bring in the old sockets header.
#include <winsock2.h>
// Then the rest of the API.
#include <windows.h>

#include <string>
#include <vector>

#include "app/dialog/dialog_logic.h"
#include "app/win32/skin_button.h"

namespace jasokit::win32 {

class MainWindow : private DialogView {
 public:
  explicit MainWindow(HINSTANCE instance);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  DialogLogic& logic() { return m_logic; }
  // Opens the window and runs its message loop until it closes.
  int run();

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
  BOOL initDialog();
  void placeControls();
  void addSystemMenuItems();
  void loadChoices();
  void loadZipSource();
  bool onSysCommand(WPARAM command);
  void chooseAddressDb();
  void onCommand(WORD id, WORD code);
  void showBanner();
  HWND item(int id) const { return GetDlgItem(m_dialog, id); }

  // DialogView
  std::string boxText(int box) const override;
  void setBoxText(int box, const std::string& text) override;
  void setListLines(const std::vector<std::string>& lines) override;
  void showMessage(const std::string& text) override;
  bool setClipboardText(const std::string& text) override;

  HINSTANCE m_instance;
  HWND m_dialog = nullptr;
  HICON m_iconLarge = nullptr;
  HICON m_iconSmall = nullptr;
  HBRUSH m_bannerBrush = nullptr;
  SkinButton m_copyInputButton;
  SkinButton m_copyOutputButton;
  SkinButton m_copyQueryButton;
  SkinButton m_resetButton;
  DialogLogic m_logic{*this};
};

// The database file chosen with the window's item, "" if none.
std::string ChosenAddressDbPath();
// The caption of every message box: the executable's name without its
// extension.
std::wstring ApplicationTitle();
// A message box with an OK button and the warning icon.
void ShowMessageBox(HWND owner, const std::string& text);

}  // namespace jasokit::win32
