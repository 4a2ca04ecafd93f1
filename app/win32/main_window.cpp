#include "app/win32/main_window.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "app/dialog/banner_text.h"
#include "app/win32/resource.h"
#include "jasokit/style.h"
#include "platform/program_folder.h"
#include "utf16.h"
#include "app/dialog/dialog_layout.h"

namespace jasokit::win32 {

// The resource script needs macros; they are the ids the Qt window uses.
static_assert(IDR_MAINFRAME == layout::kIdIcon && IDB_BACKGROUND == layout::kIdBackground);
static_assert(IDB_COPY == layout::kIdCopyFace && IDB_COPY_HOVER == layout::kIdCopyHoverFace);
static_assert(IDB_RESET == layout::kIdResetFace && IDB_RESET_HOVER == layout::kIdResetHoverFace);

namespace {

// The system menu's own commands.
constexpr UINT kAboutCommand = layout::kAboutCommand;
constexpr UINT kOfficialStyleCommand = layout::kOfficialStyleCommand;
constexpr UINT kNameModeCommand = layout::kNameModeCommand;
constexpr UINT kCurrentPostcodeCommand = layout::kCurrentPostcodeCommand;
constexpr UINT kChooseAddressDbCommand = layout::kChooseAddressDbCommand;

constexpr COLORREF kFaceKeyColour = RGB(255, 255, 255);
constexpr COLORREF kBannerText = RGB(0x44, 0x44, 0x44);

// The choices are kept where the Qt window keeps them on Windows, in the
// same words: %APPDATA%\Jaso_Kit\Jaso_Kit.ini, section [General].
constexpr const wchar_t* kChoiceSection = L"General";
constexpr const wchar_t* kStyleKey = L"style";
constexpr const wchar_t* kNameModeKey = L"names";
constexpr const wchar_t* kZipSourceKey = L"zipsource";  // "database", "" (off) or absent (not chosen yet)
constexpr const wchar_t* kAddressDbKey = L"addressdb";  // the database file chosen with its item
constexpr const wchar_t* kNotChosen = L"\x01";          // no real value begins with it

std::wstring ChoicesFile() {
  wchar_t appData[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  const std::wstring folder = std::wstring(appData) + L"\\Jaso_Kit";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\Jaso_Kit.ini";
}

std::wstring ReadChoice(const wchar_t* key, const wchar_t* absent = L"") {
  const std::wstring file = ChoicesFile();
  if (file.empty()) return absent;
  wchar_t value[MAX_PATH * 2] = L"";  // a database's path too
  GetPrivateProfileStringW(kChoiceSection, key, absent, value, MAX_PATH * 2, file.c_str());
  return value;
}

void WriteChoice(const wchar_t* key, const wchar_t* value) {
  const std::wstring file = ChoicesFile();
  if (!file.empty()) WritePrivateProfileStringW(kChoiceSection, key, value, file.c_str());
}

struct Placement {
  int id;
  layout::UnitRect units;
};

// Pixels, not dialog units: the background picture's frames are drawn for
// these places whatever font the system gives the dialog.
constexpr Placement kPlacements[] = {
    {IDC_INPUT, layout::kInputUnits},
    {IDC_OUTPUT, layout::kOutputUnits},
    {IDC_ZIP_QUERY, layout::kZipQueryUnits},
    {IDC_ZIP_LIST, layout::kZipListUnits},
    {IDC_BANNER, layout::kBannerUnits},
    {IDC_COPY_INPUT, layout::kCopyInputUnits},
    {IDC_COPY_OUTPUT, layout::kCopyOutputUnits},
    {IDC_COPY_QUERY, layout::kCopyQueryUnits},
    {IDC_RESET, layout::kResetUnits},
    {IDC_ZIP_NOTE, layout::kZipNoteUnits},
};

struct BoxControl {
  int box;
  int id;
};

constexpr BoxControl kBoxControls[] = {{kInputBox, IDC_INPUT}, {kOutputBox, IDC_OUTPUT}, {kZipQueryBox, IDC_ZIP_QUERY}};

int BoxOfControl(int id) {
  for (const BoxControl& b : kBoxControls) {
    if (b.id == id) return b.box;
  }
  return kNoBox;
}

int ControlOfBox(int box) {
  for (const BoxControl& b : kBoxControls) {
    if (b.box == box) return b.id;
  }
  return 0;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(platform::Widen(path).c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Windows Sockets 2.2 must start, as the banner's probe needs it; the panel
// has no web browser control to show an online page, so nothing is probed.
bool StartNetworking() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  WSACleanup();
  return true;
}

// The file dialog of the database item; "" when cancelled.
std::string ChooseAddressDbFile(HWND owner) {
  wchar_t path[MAX_PATH * 2] = L"";
  const std::wstring title = platform::Widen(kChooseAddressDbText);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = L"\uC8FC\uC18C \uB370\uC774\uD130\uBCA0\uC774\uC2A4 (*.db)\0*.db\0\uBAA8\uB4E0 \uD30C\uC77C (*.*)\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH * 2;
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  return GetOpenFileNameW(&dialog) ? platform::Narrow(path) : std::string();
}

INT_PTR CALLBACK AboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(hwnd, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

std::string ChosenAddressDbPath() { return platform::Narrow(ReadChoice(kAddressDbKey)); }

std::wstring ApplicationTitle() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path);
  const std::size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}

void ShowMessageBox(HWND owner, const std::string& text) {
  MessageBoxW(owner, platform::Widen(text).c_str(), ApplicationTitle().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

MainWindow::MainWindow(HINSTANCE instance) : m_instance(instance) {
  m_iconLarge = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  m_iconSmall = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
}

MainWindow::~MainWindow() {
  if (m_bannerBrush) DeleteObject(m_bannerBrush);
  if (m_iconLarge) DestroyIcon(m_iconLarge);
  if (m_iconSmall) DestroyIcon(m_iconSmall);
}

int MainWindow::run() {
  // Modeless with a loop of its own, so that Enter is seen before the
  // dialog manager turns it into a default-button press.
  m_dialog = CreateDialogParamW(m_instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, &MainWindow::DialogProc,
                                reinterpret_cast<LPARAM>(this));
  if (m_dialog == nullptr) return 1;
  ShowWindow(m_dialog, SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    const bool ours = msg.hwnd == m_dialog || IsChild(m_dialog, msg.hwnd);
    if (ours && msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
      m_logic.dispatchEnter();  // each auto-repeat again; never a default button
      continue;
    }
    if (IsDialogMessageW(m_dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    reinterpret_cast<MainWindow*>(lParam)->m_dialog = hwnd;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->handle(message, wParam, lParam) : FALSE;
}

INT_PTR MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return initDialog();
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(m_dialog, &client);
      PaintBackground(reinterpret_cast<HDC>(wParam), client, POINT{0, 0});
      SetWindowLongPtrW(m_dialog, DWLP_MSGRESULT, 1);
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      SkinButton* buttons[] = {&m_copyInputButton, &m_copyOutputButton, &m_copyQueryButton, &m_resetButton};
      const int index = static_cast<int>(draw->CtlID) - IDC_COPY_INPUT;
      if (index < 0 || index > 3) return FALSE;
      buttons[index]->draw(*draw);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == item(IDC_ZIP_NOTE)) {  // on the background picture
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
      }
      if (reinterpret_cast<HWND>(lParam) != item(IDC_BANNER)) return FALSE;
      SetTextColor(reinterpret_cast<HDC>(wParam), kBannerText);
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
      return reinterpret_cast<INT_PTR>(m_bannerBrush);
    case WM_QUERYDRAGICON: return reinterpret_cast<INT_PTR>(m_iconLarge);
    case WM_SYSCOMMAND:
      if (!onSysCommand(wParam)) return FALSE;
      SetWindowLongPtrW(m_dialog, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_COMMAND: onCommand(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_DESTROY: PostQuitMessage(0); return TRUE;
    default: return FALSE;
  }
}

BOOL MainWindow::initDialog() {
  placeControls();
  m_copyInputButton.attach(item(IDC_COPY_INPUT));
  m_copyOutputButton.attach(item(IDC_COPY_OUTPUT));
  m_copyQueryButton.attach(item(IDC_COPY_QUERY));
  m_resetButton.attach(item(IDC_RESET));
  m_logic.writeBoxes();
  loadChoices();
  addSystemMenuItems();
  SendMessageW(m_dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_iconLarge));
  SendMessageW(m_dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_iconSmall));
  m_copyInputButton.setFaces(IDB_COPY, IDB_COPY, IDB_COPY_HOVER, kFaceKeyColour);
  m_copyOutputButton.setFaces(IDB_COPY, IDB_COPY, IDB_COPY_HOVER, kFaceKeyColour);
  m_copyQueryButton.setFaces(IDB_COPY, IDB_COPY, IDB_COPY_HOVER, kFaceKeyColour);
  m_resetButton.setFaces(IDB_RESET, IDB_RESET, IDB_RESET_HOVER, kFaceKeyColour);
  m_logic.focusLost();  // no box has had the focus yet
  showBanner();
  SetWindowTextW(item(IDC_ZIP_NOTE), platform::Widen(kSampleTableLabel).c_str());
  ShowWindow(item(IDC_ZIP_NOTE), m_logic.zipDatabase().isSample() ? SW_SHOW : SW_HIDE);
  if (!StartNetworking()) {
    ShowMessageBox(m_dialog, "WSAStartup failed");
    return FALSE;  // no control gets the first focus
  }
  return TRUE;  // the first tab stop, the input box, gets the focus
}

void MainWindow::placeControls() {
  const layout::PixelRect client = layout::ToPixels(layout::kMainDialogUnits);
  RECT frame{0, 0, client.width, client.height};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(m_dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(m_dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  // Centred in the work area, as the template asks no position.
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + std::max(0L, (work.right - work.left - width) / 2);
  const int y = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
  SetWindowPos(m_dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  for (const Placement& p : kPlacements) {
    const layout::PixelRect r = layout::ToPixels(p.units);
    SetWindowPos(item(p.id), nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void MainWindow::loadChoices() {
  Style style = Style::Classic;  // also for a value this version does not know
  ParseStyle(platform::Narrow(ReadChoice(kStyleKey)), style);
  m_logic.setOfficialStyle(style == Style::Official);
  m_logic.setNameMode(ReadChoice(kNameModeKey) == L"true");
  loadZipSource();
}

// With a database the five-digit item starts checked unless the user once
// unchecked it.
void MainWindow::loadZipSource() {
  const std::wstring source = ReadChoice(kZipSourceKey, kNotChosen);
  m_logic.setCurrentPostcode(source == L"database" || source == kNotChosen);
}

void MainWindow::addSystemMenuItems() {
  HMENU menu = GetSystemMenu(m_dialog, FALSE);
  if (menu == nullptr) return;
  wchar_t about[128] = L"";
  if (LoadStringW(m_instance, IDS_ABOUTBOX, about, 128) > 0) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutCommand, about);
  }
  auto checked = [](bool on) -> UINT { return on ? MF_CHECKED : MF_UNCHECKED; };
  AppendMenuW(menu, MF_STRING | checked(m_logic.officialStyle()), kOfficialStyleCommand,
              platform::Widen(kOfficialStyleText).c_str());
  AppendMenuW(menu, MF_STRING | checked(m_logic.nameMode()), kNameModeCommand, platform::Widen(kNameModeText).c_str());
  // Greyed without a database: the zip search can only use the table then.
  const UINT database = m_logic.addressDbOpen() ? checked(m_logic.currentPostcode()) : MF_GRAYED;
  AppendMenuW(menu, MF_STRING | database, kCurrentPostcodeCommand, platform::Widen(kCurrentPostcodeText).c_str());
  AppendMenuW(menu, MF_STRING, kChooseAddressDbCommand, platform::Widen(kChooseAddressDbText).c_str());
}

void MainWindow::chooseAddressDb() {
  const std::string path = ChooseAddressDbFile(m_dialog);
  if (path.empty() || !m_logic.chooseAddressDb(path)) return;
  WriteChoice(kAddressDbKey, platform::Widen(path).c_str());
  loadZipSource();
  HMENU menu = GetSystemMenu(m_dialog, FALSE);
  EnableMenuItem(menu, kCurrentPostcodeCommand, MF_BYCOMMAND | MF_ENABLED);
  CheckMenuItem(menu, kCurrentPostcodeCommand, MF_BYCOMMAND | (m_logic.currentPostcode() ? MF_CHECKED : MF_UNCHECKED));
}

bool MainWindow::onSysCommand(WPARAM command) {
  HMENU menu = GetSystemMenu(m_dialog, FALSE);
  auto check = [menu](UINT id, bool on) { CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)); };
  switch (command & 0xFFF0) {
    case kAboutCommand:
      DialogBoxParamW(m_instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), m_dialog, AboutProc, 0);
      return true;
    case kOfficialStyleCommand:
      m_logic.setOfficialStyle(!m_logic.officialStyle());
      WriteChoice(kStyleKey,
                  platform::Widen(StyleName(m_logic.officialStyle() ? Style::Official : Style::Classic)).c_str());
      check(kOfficialStyleCommand, m_logic.officialStyle());
      return true;
    case kNameModeCommand:
      m_logic.setNameMode(!m_logic.nameMode());
      WriteChoice(kNameModeKey, m_logic.nameMode() ? L"true" : L"false");
      check(kNameModeCommand, m_logic.nameMode());
      return true;
    case kChooseAddressDbCommand: chooseAddressDb(); return true;
    case kCurrentPostcodeCommand:
      if (!m_logic.addressDbOpen()) return true;
      m_logic.setCurrentPostcode(!m_logic.currentPostcode());
      WriteChoice(kZipSourceKey, m_logic.currentPostcode() ? L"database" : L"");
      check(kCurrentPostcodeCommand, m_logic.currentPostcode());
      return true;
    default: return false;
  }
}

void MainWindow::onCommand(WORD id, WORD code) {
  const int box = BoxOfControl(id);
  if (box != kNoBox && code == EN_SETFOCUS) m_logic.focusGained(box);
  if (box != kNoBox && code == EN_KILLFOCUS) m_logic.focusLost();
  if (id == IDC_ZIP_LIST && code == LBN_SELCHANGE) {
    const LRESULT row = SendMessageW(item(IDC_ZIP_LIST), LB_GETCURSEL, 0, 0);
    if (row != LB_ERR) m_logic.chooseLine(static_cast<std::size_t>(row));
  }
  if (code == BN_CLICKED) {
    switch (id) {
      case IDC_COPY_INPUT: m_logic.copyBox(kInputBox); break;
      case IDC_COPY_OUTPUT: m_logic.copyBox(kOutputBox); break;
      case IDC_COPY_QUERY: m_logic.copyBox(kZipQueryBox); break;
      case IDC_RESET: m_logic.resetAll(); break;
      case IDOK: m_logic.dispatchEnter(); break;      // Enter that reached the dialog manager after all
      case IDCANCEL: DestroyWindow(m_dialog); break;  // Esc, the close box, the system menu's Close
      default: break;
    }
  }
}

void MainWindow::showBanner() {
  m_bannerBrush = CreateSolidBrush(RGB(255, 255, 255));
  const std::string dir = platform::ExecutableDirectory();
  const std::string html = dir.empty() ? std::string() : ReadFile(dir + kOfflineBannerFileName);
  std::string text = BannerText(html);
  // The static control breaks lines at CR LF.
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) text.insert(at, "\r");
  SetWindowTextW(item(IDC_BANNER), platform::Widen(text).c_str());
}

std::string MainWindow::boxText(int box) const {
  HWND edit = item(ControlOfBox(box));
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
  return platform::Narrow(text);
}

void MainWindow::setBoxText(int box, const std::string& text) {
  SetWindowTextW(item(ControlOfBox(box)), platform::Widen(text).c_str());
}

void MainWindow::setListLines(const std::vector<std::string>& lines) {
  HWND list = item(IDC_ZIP_LIST);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  // The horizontal scroll bar needs the widest line's width.
  HDC dc = GetDC(list);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
  LONG widest = 0;
  for (const std::string& line : lines) {
    const std::wstring wide = platform::Widen(line);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    widest = std::max(widest, size.cx);
  }
  SelectObject(dc, old);
  ReleaseDC(list, dc);
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 4), 0);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void MainWindow::showMessage(const std::string& text) { ShowMessageBox(m_dialog, text); }

bool MainWindow::setClipboardText(const std::string& text) {
  if (!OpenClipboard(m_dialog)) return false;
  EmptyClipboard();
  const std::wstring wide = platform::Widen(text);
  const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  void* memory = block ? GlobalLock(block) : nullptr;
  if (memory != nullptr) {
    std::memcpy(memory, wide.c_str(), bytes);
    GlobalUnlock(block);
    // Windows offers CF_TEXT from it to programs that ask for that.
    if (SetClipboardData(CF_UNICODETEXT, block) != nullptr) block = nullptr;
  }
  if (block) GlobalFree(block);
  CloseClipboard();
  return memory != nullptr;
}

}  // namespace jasokit::win32
