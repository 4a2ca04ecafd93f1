// Drives a running Jaso_Kit.exe the way a user would, through window
// messages, and says what it sees: one command per run, so the test script
// can check each step and take screenshots in between.
//
//   window-driver caption              the main window's caption
//   window-driver convert TEXT         types TEXT into the input box, Enter; prints the output box
//   window-driver search TEXT          the same in the search box; prints the list, one line each
//   window-driver choose N             chooses list line N; prints the input and the output box
//   window-driver copy ID              clicks the Copy button ID; prints the clipboard's text
//   window-driver hover ID             moves the pointer onto button ID (for the screenshot)
//   window-driver syscommand N         a system-menu command (decimal), as if chosen
//   window-driver note                 the note under the list, if it is shown
//   window-driver choosedb PATH        the database item: PATH typed into its file dialog
//   window-driver about                opens the About box, prints its caption, closes it
//   window-driver close                Esc in the input box
// Texts are UTF-8 (arguments as UTF-16 from the command line); the exit
// status is 0 on success, 1 when the window or a control is missing.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "utf16.h"

namespace {

constexpr const wchar_t* kCaption = L"주소변환기 + 우편번호찾기";
constexpr int kZipList = 1003;
constexpr int kInput = 1005;
constexpr int kOutput = 1006;
constexpr int kZipQuery = 1007;
constexpr int kZipNote = 1012;
constexpr WPARAM kChooseAddressDb = 0x0050;
constexpr const wchar_t* kChooseAddressDbCaption = L"주소 데이터베이스 파일 선택…";

void Print(const std::wstring& text) {
  const std::string utf8 = jasokit::platform::Narrow(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
}

HWND FindMain() {
  for (int i = 0; i < 300; ++i) {  // a first start in a fresh prefix is slow
    if (HWND w = FindWindowW(nullptr, kCaption)) return w;
    Sleep(100);
  }
  return nullptr;
}

std::wstring Text(HWND w) {
  wchar_t buffer[4096] = L"";
  SendMessageW(w, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

// Waits for the window to come round its message loop a few times: a
// message sent from here is answered when the loop next asks for one. Not a
// proof that posted messages were handled (the window may ask while busy),
// so results are waited for as well.
void Sync(HWND dialog) {
  for (int i = 0; i < 4; ++i) SendMessageW(dialog, WM_NULL, 0, 0);
}

// Posted, not sent: the key must pass the window's own message loop, as a
// typed key does.
void PressEnter(HWND dialog, HWND box) {
  PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
  PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageW(box, WM_KEYUP, VK_RETURN, 0xC01C0001);
  Sync(dialog);
}

std::wstring ListText(HWND dialog) {
  HWND list = GetDlgItem(dialog, kZipList);
  std::wstring all;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t line[1024] = L"";
    if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 1024)
      SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
    all += line;
    all += L'\n';
  }
  return all;
}

// Types text into box id and presses Enter; then waits, up to 5 s, until
// what shows the result changes.
int Enter(HWND dialog, int id, const wchar_t* text) {
  HWND box = GetDlgItem(dialog, id);
  if (!box) return 1;
  auto result = [dialog, id] { return id == kInput ? Text(GetDlgItem(dialog, kOutput)) : ListText(dialog); };
  const std::wstring before = result();
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  PressEnter(dialog, box);
  for (int i = 0; i < 100 && result() == before; ++i) Sleep(50);
  return 0;
}

int About(HWND dialog) {
  PostMessageW(dialog, WM_SYSCOMMAND, 0x0010, 0);
  HWND about = nullptr;
  for (int i = 0; i < 100 && !about; ++i, Sleep(50)) about = FindWindowW(nullptr, L"Jaso_Kit 정보");
  if (!about) return 1;
  Print(Text(about));
  PostMessageW(about, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(about); ++i) Sleep(50);
  return IsWindow(about) ? 1 : 0;
}

// Chooses PATH in the database item's file dialog: its file name box (the
// old or the Explorer style, whichever there is), then Open.
int ChooseDb(HWND dialog, const wchar_t* path) {
  PostMessageW(dialog, WM_SYSCOMMAND, kChooseAddressDb, 0);
  HWND chooser = nullptr;
  for (int i = 0; i < 100 && !chooser; ++i, Sleep(50)) chooser = FindWindowW(nullptr, kChooseAddressDbCaption);
  if (!chooser) return 1;
  Sleep(200);  // its controls are made after the window
  for (int id : {0x47C /* cmb13 */, 0x480 /* edt1 */}) {
    if (HWND box = GetDlgItem(chooser, id)) SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
  }
  PostMessageW(chooser, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(chooser); ++i) Sleep(50);
  Sync(dialog);
  return IsWindow(chooser) ? 1 : 0;
}

std::wstring ClipboardText() {
  std::wstring text = L"(no text)";
  for (int i = 0; i < 20 && !OpenClipboard(nullptr); ++i) Sleep(50);
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

int Run(HWND dialog, const std::wstring& command, const wchar_t* argument) {
  if (command == L"caption") {
    Print(Text(dialog));
  } else if (command == L"convert" && argument) {
    if (Enter(dialog, kInput, argument)) return 1;
    Print(Text(GetDlgItem(dialog, kOutput)));
  } else if (command == L"search" && argument) {
    if (Enter(dialog, kZipQuery, argument)) return 1;
    std::wstring lines = ListText(dialog);
    if (!lines.empty()) lines.pop_back();
    Print(lines);
  } else if (command == L"choose" && argument) {
    HWND list = GetDlgItem(dialog, kZipList);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(_wtoi(argument)), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kZipList, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    Print(Text(GetDlgItem(dialog, kInput)));
    Print(Text(GetDlgItem(dialog, kOutput)));
  } else if (command == L"copy" && argument) {
    HWND button = GetDlgItem(dialog, _wtoi(argument));
    if (!button) return 1;
    SendMessageW(button, BM_CLICK, 0, 0);
    Print(ClipboardText());
  } else if (command == L"hover" && argument) {
    PostMessageW(GetDlgItem(dialog, _wtoi(argument)), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    Sync(dialog);
  } else if (command == L"syscommand" && argument) {
    PostMessageW(dialog, WM_SYSCOMMAND, static_cast<WPARAM>(_wtoi(argument)), 0);
    Sync(dialog);
  } else if (command == L"note") {
    HWND note = GetDlgItem(dialog, kZipNote);
    Print(note && IsWindowVisible(note) ? Text(note) : L"");
  } else if (command == L"choosedb" && argument) {
    return ChooseDb(dialog, argument);
  } else if (command == L"about") {
    return About(dialog);
  } else if (command == L"close") {
    HWND input = GetDlgItem(dialog, kInput);
    PostMessageW(input, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(input, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  } else {
    std::fputs(
        "usage: window-driver caption|convert TEXT|search TEXT|choose N|copy ID|hover ID|syscommand N|note|choosedb PATH|"
        "about|close\n",
        stderr);
    return 2;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Run(nullptr, L"", nullptr);
  HWND dialog = FindMain();
  if (!dialog) {
    std::fputs("window-driver: no window captioned as the main window\n", stderr);
    return 1;
  }
  return Run(dialog, argv[1], argc > 2 ? argv[2] : nullptr);
}
