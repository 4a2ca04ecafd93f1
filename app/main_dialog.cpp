#include "app/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QVariant>

#include "app/about_dialog.h"
#include "jasokit/convert.h"
#include "jasokit/cp949.h"
#include "jasokit/name.h"
#include "jasokit/style.h"
#include "platform/program_folder.h"
#include "ui/dialog_layout.h"
#include "ui/message_box.h"
#include "ui/resources.h"
#include "ui/skin_button.h"
#include "ui/web_browser.h"

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace jasokit {

namespace {

// The table beside the executable; an unknown folder must not turn into the
// current directory, so it gives an empty path.
ZipLoadStatus LoadBesideProgram(ZipDatabase& db) {
  const std::string dir = platform::ExecutableDirectory();
  return db.Load(dir.empty() ? std::string() : dir + kZipFileName);
}

// The list keeps each line's CP949 bytes beside its displayed text.
constexpr int kLineBytesRole = Qt::UserRole;
// A row of the address database keeps its road-name address instead.
constexpr int kRoadAddressRole = Qt::UserRole + 1;
constexpr QRgb kFaceKeyColour = 0xFFFFFF;

QRect Place(layout::UnitRect units) {
  const layout::PixelRect r = layout::ToPixels(units);
  return QRect(r.x, r.y, r.width, r.height);
}

const QString kAboutText = QStringLiteral("Jaso_Kit 정보(&A)...");
const QString kOfficialStyleText = QStringLiteral("공식 영문 주소 (도로명)");
const QString kNameModeText = QStringLiteral("이름 (여권)");
const QString kCurrentPostcodeText = QStringLiteral("최신 우편번호 (5자리)");
const QString kNoAddressDbTip = QStringLiteral(
    "주소 DB가 없습니다. 우체국 \"우편번호 DB\"(지역별 주소 DB)를 받아\n"
    "jasokit addrdb build 파일... --install 로 만드세요.");

// The style is kept between runs in an INI file on every platform (not the
// Windows registry), so tests can give it a folder of their own.
constexpr const char* kSettingsName = "Jaso_Kit";   // organisation and application alike
constexpr const char* kStyleKey = "style";          // StyleName's words
constexpr const char* kNameModeKey = "names";       // true: Enter romanizes names
constexpr const char* kZipSourceKey = "zipsource";  // "database" or absent

bool SavedFlag(const char* key, const char* value) {
  const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QLatin1String(kSettingsName),
                           QLatin1String(kSettingsName));
  return settings.value(QLatin1String(key)).toString() == QLatin1String(value);
}

void SaveFlag(const char* key, const char* value, bool on) {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QLatin1String(kSettingsName),
                     QLatin1String(kSettingsName));
  settings.setValue(QLatin1String(key), on ? QLatin1String(value) : QLatin1String(""));
}

Style SavedStyle() {
  const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QLatin1String(kSettingsName),
                           QLatin1String(kSettingsName));
  const std::string name = settings.value(QLatin1String(kStyleKey)).toString().toStdString();
  Style style = Style::Classic;  // also for a value this version does not know
  ParseStyle(name, style);
  return style;
}

void SaveStyle(Style style) {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QLatin1String(kSettingsName),
                     QLatin1String(kSettingsName));
  settings.setValue(QLatin1String(kStyleKey), QLatin1String(StyleName(style)));
}

bool SavedNameMode() {
  const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QLatin1String(kSettingsName),
                           QLatin1String(kSettingsName));
  return settings.value(QLatin1String(kNameModeKey), false).toBool();
}

void SaveNameMode(bool on) {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QLatin1String(kSettingsName),
                     QLatin1String(kSettingsName));
  settings.setValue(QLatin1String(kNameModeKey), on);
}

// The zip code table is CP949; everything the window holds is UTF-8.
std::string Utf8FromCp949(std::string_view cp949) {
  std::string utf8;
  Cp949ToUtf8(cp949, utf8);
  return utf8;
}

}  // namespace

QFont DialogFont() {
  // The platform's Korean dialog font where there is one, else a Korean
  // font that Linux distributions ship.
  QFont font;
  font.setFamilies({QStringLiteral("Gulim"), QStringLiteral("굴림"), QStringLiteral("NanumGothic"),
                    QStringLiteral("Noto Sans CJK KR"), QStringLiteral("Malgun Gothic"),
                    QStringLiteral("Apple SD Gothic Neo")});
  font.setPointSize(9);
  return font;
}

MainDialog::MainDialog(const MainDialogSetup& setup, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("주소변환기 + 우편번호찾기"));
  // An application window with a minimise box, but neither a maximise box
  // nor a sizing frame.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  const QRect client = Place(layout::kMainDialogUnits);
  setFixedSize(client.size());
  // The background picture covers the whole client area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFont(DialogFont());
  createControls();
  setUpAddressDb(setup.addressDbPath);

  m_zipLoadStatus = setup.loadZipTable ? setup.loadZipTable(m_zipDatabase) : LoadBesideProgram(m_zipDatabase);
  if (m_zipLoadStatus != ZipLoadStatus::Ok) return;
  initDialog(setup.banner);
}

MainDialog::~MainDialog() { qApp->removeEventFilter(this); }

void MainDialog::createControls() {
  // Template order, which is also the tab order. The names are how tests
  // and tools find the controls.
  auto makeEdit = [this](const char* name, layout::UnitRect units) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(Place(units));
    edit->setFrame(false);  // the background picture draws the frame
    return edit;
  };
  m_inputBox = makeEdit("inputBox", layout::kInputUnits);
  m_outputBox = makeEdit("outputBox", layout::kOutputUnits);
  m_zipQueryBox = makeEdit("zipQueryBox", layout::kZipQueryUnits);

  m_zipList = new QListWidget(this);
  m_zipList->setObjectName(QStringLiteral("zipList"));
  m_zipList->setGeometry(Place(layout::kZipListUnits));
  m_zipList->setFrameShape(QFrame::NoFrame);
  m_zipList->setSelectionMode(QAbstractItemView::SingleSelection);
  m_zipList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_zipList->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_zipList->setUniformItemSizes(true);

  m_browser = new CWebBrowser2(this);
  m_browser->setObjectName(QStringLiteral("banner"));
  m_browser->setGeometry(Place(layout::kBannerUnits));

  auto makeButton = [this](const char* name, layout::UnitRect units, const QString& accessibleName) {
    auto* button = new SkinButton(this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(Place(units));
    button->setAccessibleName(accessibleName);
    return button;
  };
  const QString copy = QStringLiteral("복사");
  m_copyInputButton = makeButton("copyInputButton", layout::kCopyInputUnits, copy);
  m_copyOutputButton = makeButton("copyOutputButton", layout::kCopyOutputUnits, copy);
  m_copyQueryButton = makeButton("copyQueryButton", layout::kCopyQueryUnits, copy);
  m_resetButton = makeButton("resetButton", layout::kResetUnits, QStringLiteral("초기화"));

  QWidget* order[] = {m_inputBox,        m_outputBox,        m_zipQueryBox,     m_zipList,    m_browser,
                      m_copyInputButton, m_copyOutputButton, m_copyQueryButton, m_resetButton};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(m_zipList, &QListWidget::itemSelectionChanged, this, [this] {
    if (!m_fillingList && !m_zipList->selectedItems().isEmpty()) onListSelect();
  });
  connect(m_copyInputButton, &QAbstractButton::clicked, this, [this] { copyToClipboard(m_inputText); });
  connect(m_copyOutputButton, &QAbstractButton::clicked, this, [this] { copyToClipboard(m_outputText); });
  connect(m_copyQueryButton, &QAbstractButton::clicked, this, [this] { copyToClipboard(m_zipQuery); });
  connect(m_resetButton, &QAbstractButton::clicked, this, &MainDialog::resetAll);

  m_officialStyleAction = new QAction(kOfficialStyleText, this);
  m_officialStyleAction->setObjectName(QStringLiteral("officialStyleAction"));
  m_officialStyleAction->setCheckable(true);
  m_officialStyleAction->setChecked(SavedStyle() == Style::Official);
  connect(m_officialStyleAction, &QAction::toggled, this, [this](bool official) {
    SaveStyle(official ? Style::Official : Style::Classic);
#ifdef Q_OS_WIN
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
    if (menu != nullptr) {
      CheckMenuItem(menu, layout::kOfficialStyleCommand, MF_BYCOMMAND | (official ? MF_CHECKED : MF_UNCHECKED));
    }
#endif
  });

  m_nameModeAction = new QAction(kNameModeText, this);
  m_nameModeAction->setObjectName(QStringLiteral("nameModeAction"));
  m_nameModeAction->setCheckable(true);
  m_nameModeAction->setChecked(SavedNameMode());
  connect(m_nameModeAction, &QAction::toggled, this, [this](bool on) {
    SaveNameMode(on);
#ifdef Q_OS_WIN
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
    if (menu != nullptr) CheckMenuItem(menu, layout::kNameModeCommand, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
#endif
  });
}

void MainDialog::initDialog(const BannerSettings& banner) {
  writeBoxes();
  addSystemMenuItems();
  setWindowIcon(ApplicationIcon());
  m_copyInputButton->setFaces(layout::kIdCopyFace, layout::kIdCopyFace, layout::kIdCopyHoverFace, kFaceKeyColour);
  m_copyOutputButton->setFaces(layout::kIdCopyFace, layout::kIdCopyFace, layout::kIdCopyHoverFace, kFaceKeyColour);
  m_copyQueryButton->setFaces(layout::kIdCopyFace, layout::kIdCopyFace, layout::kIdCopyHoverFace, kFaceKeyColour);
  m_resetButton->setFaces(layout::kIdResetFace, layout::kIdResetFace, layout::kIdResetHoverFace, kFaceKeyColour);
  m_focusedBox = 0;
  // Enter is taken before any widget sees it, and the focus of the three
  // boxes is followed, from one filter on the application.
  qApp->installEventFilter(this);

  m_initialFocus = RunBannerStartup(*m_browser, banner);
  if (m_initialFocus) {
    m_inputBox->setFocus(Qt::OtherFocusReason);
  } else {
    // The window itself holds the focus, so no control has it until the
    // user picks one.
    setFocus(Qt::OtherFocusReason);
  }
}

void MainDialog::addSystemMenuItems() {
#ifdef Q_OS_WIN
  HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
  if (menu != nullptr) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, layout::kAboutCommand, reinterpret_cast<const wchar_t*>(kAboutText.utf16()));
    AppendMenuW(menu, MF_STRING | (m_officialStyleAction->isChecked() ? MF_CHECKED : MF_UNCHECKED),
                layout::kOfficialStyleCommand, reinterpret_cast<const wchar_t*>(kOfficialStyleText.utf16()));
    AppendMenuW(menu, MF_STRING | (m_nameModeAction->isChecked() ? MF_CHECKED : MF_UNCHECKED), layout::kNameModeCommand,
                reinterpret_cast<const wchar_t*>(kNameModeText.utf16()));
  }
#endif
}

#ifdef Q_OS_WIN
bool MainDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  if (eventType == "windows_generic_MSG") {
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == static_cast<WPARAM>(layout::kAboutCommand)) {
      showAbout();
      *result = 0;
      return true;
    }
    if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == static_cast<WPARAM>(layout::kOfficialStyleCommand)) {
      m_officialStyleAction->toggle();  // the check mark follows in the toggled handler
      *result = 0;
      return true;
    }
    if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == static_cast<WPARAM>(layout::kNameModeCommand)) {
      m_nameModeAction->toggle();
      *result = 0;
      return true;
    }
  }
  return QDialog::nativeEvent(eventType, message, result);
}
#endif

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
#ifdef Q_OS_WIN
  QDialog::contextMenuEvent(event);
#else
  // Without a system menu to extend, the About and style items live here.
  QMenu menu(this);
  menu.setToolTipsVisible(true);  // the database item says how to get a database
  menu.addAction(kAboutText, this, &MainDialog::showAbout);
  menu.addAction(m_officialStyleAction);
  menu.addAction(m_nameModeAction);
  menu.addAction(m_currentPostcodeAction);
  menu.exec(event->globalPos());
#endif
}

void MainDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintBackground(painter, rect());
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) break;
      if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this) break;
      dispatchEnter();
      return true;
    }
    case QEvent::FocusIn:
      if (watched == m_inputBox) m_focusedBox = 1;
      if (watched == m_outputBox) m_focusedBox = 2;
      if (watched == m_zipQueryBox) m_focusedBox = 3;
      break;
    case QEvent::FocusOut:
      if (watched == m_inputBox || watched == m_outputBox || watched == m_zipQueryBox) m_focusedBox = 0;
      break;
    default: break;
  }
  return QDialog::eventFilter(watched, event);
}

void MainDialog::dispatchEnter() {
  switch (m_focusedBox) {
    case 1:
      // Names are typed; a chosen zip code row is an address whatever the mode.
      if (m_nameModeAction->isChecked()) {
        runNameRomanization();
      } else {
        runConversion();
      }
      break;
    case 3: runZipSearch(); break;
    default: ShowMessage(this, QString::number(m_focusedBox)); break;
  }
}

void MainDialog::readBoxes() {
  m_inputText = m_inputBox->text().toStdString();
  m_outputText = m_outputBox->text().toStdString();
  m_zipQuery = m_zipQueryBox->text().toStdString();
}

void MainDialog::writeBoxes() {
  // A box shows the start of a text set into it, as a native edit box does;
  // QLineEdit would leave the cursor, and the view, at the end, hiding the
  // house number that a converted address begins with.
  auto write = [](QLineEdit* box, const std::string& text) {
    box->setText(QString::fromStdString(text));
    box->setCursorPosition(0);
  };
  write(m_inputBox, m_inputText);
  write(m_outputBox, m_outputText);
  write(m_zipQueryBox, m_zipQuery);
}

void MainDialog::runNameRomanization() {
  readBoxes();
  // Nothing typed, nothing to write.
  if (m_inputText.find_first_not_of(" \t") == std::string::npos) return;
  m_outputText = RomanizeName(m_inputText).output;
  writeBoxes();
}

void MainDialog::runConversion() { convertIn(m_officialStyleAction->isChecked() ? Style::Official : Style::Classic); }

void MainDialog::convertIn(Style style) {
  readBoxes();
  Options options;
  options.style = style;
  if (m_addressDb.isOpen()) options.database = &m_addressDb;
  Result result = Convert(m_inputText, options);
  switch (result.status) {
    case ConversionStatus::Address:
    case ConversionStatus::PlainText:
      m_inputText = std::move(result.normalized);
      m_outputText = std::move(result.output);
      writeBoxes();
      break;
    case ConversionStatus::TooLong: ShowMessage(this, QString::fromUtf8(kRefusalMessageUtf8)); break;
    case ConversionStatus::Empty: break;
  }
}

void MainDialog::runZipSearch() {
  readBoxes();
  if (m_currentPostcodeAction->isEnabled() && m_currentPostcodeAction->isChecked()) {
    fillFromAddressDb();
    return;
  }
  // A name with a character the table cannot hold is in no row; its lossy
  // CP949 form ('?' for the character) must not be looked up instead.
  std::string query;
  std::vector<std::string> lines;
  if (Utf8ToCp949(m_zipQuery, query)) lines = FormatSearchLines(m_zipDatabase, query);
  fillZipList(lines);
  if (lines.empty()) ShowMessage(this, QString::fromUtf8(kNotFoundMessageUtf8));
}

void MainDialog::fillZipList(const std::vector<std::string>& lines) {
  m_fillingList = true;
  m_zipList->clear();
  // The lines come in ascending byte order, the order the list shows.
  for (const std::string& line : lines) {
    auto* item = new QListWidgetItem(QString::fromStdString(Utf8FromCp949(line)), m_zipList);
    item->setData(kLineBytesRole, QByteArray(line.data(), static_cast<qsizetype>(line.size())));
  }
  m_fillingList = false;
}

// Rows such as "06236 서울특별시 강남구 테헤란로 152 (강남파이낸스센터)".
void MainDialog::fillFromAddressDb() {
  const AddressLookupResult result = m_addressDb.Lookup(m_zipQuery);
  m_fillingList = true;
  m_zipList->clear();
  for (const AddressMatch& m : result.matches) {
    auto* item = new QListWidgetItem(QString::fromStdString(m.postcode + " " + m.address), m_zipList);
    const std::size_t named = m.building.empty() ? 0 : m.building.size() + 3;  // " (" and ")"
    item->setData(kRoadAddressRole, QString::fromStdString(m.address.substr(0, m.address.size() - named)));
  }
  m_fillingList = false;
  if (result.matches.empty()) ShowMessage(this, QString::fromUtf8(kNotFoundMessageUtf8));
}

void MainDialog::setUpAddressDb(const std::string& path) {
  m_currentPostcodeAction = new QAction(kCurrentPostcodeText, this);
  m_currentPostcodeAction->setObjectName(QStringLiteral("currentPostcodeAction"));
  m_currentPostcodeAction->setCheckable(true);
  const bool open = m_addressDb.Open(path.empty() ? DefaultAddressDbPath() : path) == AddressDbStatus::Ok;
  m_currentPostcodeAction->setEnabled(open);
  m_currentPostcodeAction->setChecked(open && SavedFlag(kZipSourceKey, "database"));
  if (!open) m_currentPostcodeAction->setToolTip(kNoAddressDbTip);
  connect(m_currentPostcodeAction, &QAction::toggled, this, [](bool on) { SaveFlag(kZipSourceKey, "database", on); });
}

void MainDialog::onListSelect() {
  const QList<QListWidgetItem*> selected = m_zipList->selectedItems();
  if (selected.isEmpty()) return;
  const QVariant road = selected.first()->data(kRoadAddressRole);
  if (road.isValid()) {
    m_inputText = road.toString().toStdString();
    writeBoxes();
    convertIn(Style::Official);
    return;
  }
  const QByteArray line = selected.first()->data(kLineBytesRole).toByteArray();
  m_inputText =
      Utf8FromCp949(ListLineToAddress(std::string_view(line.constData(), static_cast<std::size_t>(line.size()))));
  // All three boxes are rewritten before the conversion reads them back.
  writeBoxes();
  runConversion();
}

void MainDialog::copyToClipboard(const std::string& field) {
  readBoxes();
  QApplication::clipboard()->setText(QString::fromStdString(field));
  writeBoxes();
}

void MainDialog::resetAll() {
  m_inputText.clear();
  m_outputText.clear();
  m_zipQuery.clear();
  fillZipList({});
  writeBoxes();
}

void MainDialog::showAbout() {
  AboutDialog about(this);
  about.exec();
}

}  // namespace jasokit
