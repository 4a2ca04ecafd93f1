#include "app/qt/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QTimer>
#include <QVariant>

#include "app/dialog/dialog_layout.h"
#include "app/qt/about_dialog.h"
#include "app/qt/message_box.h"
#include "app/qt/resources.h"
#include "app/qt/skin_button.h"
#include "app/qt/web_browser.h"
#include "jasokit/style.h"
#include "platform/program_folder.h"

namespace jasokit {

namespace {

// The pause after a keystroke before the list is filled.
constexpr int kTypedPauseMs = 150;

// The table beside the executable; an unknown folder must not turn into the
// current directory, so it gives an empty path.
ZipLoadStatus LoadBesideProgram(ZipDatabase& db) {
  return db.Load(platform::FileBeside(platform::ExecutableDirectory(), kZipFileName));
}

constexpr QRgb kFaceKeyColour = 0xFFFFFF;

QRect Place(layout::UnitRect units) {
  const layout::PixelRect r = layout::ToPixels(units);
  return QRect(r.x, r.y, r.width, r.height);
}

const QString kAboutText = QString::fromUtf8(kAboutItemText);

// The style is kept between runs in an INI file on every platform (not the
// Windows registry), so tests can give it a folder of their own.
constexpr const char* kSettingsName = "Jaso_Kit";   // organisation and application alike
constexpr const char* kStyleKey = "style";          // StyleName's words
constexpr const char* kNameModeKey = "names";       // true: Enter romanizes names
constexpr const char* kZipSourceKey = "zipsource";  // "database", "" (off) or absent (not chosen yet)
constexpr const char* kAddressDbKey = "addressdb";  // the database file chosen with its item

QString SavedText(const char* key) {
  const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QLatin1String(kSettingsName),
                           QLatin1String(kSettingsName));
  return settings.value(QLatin1String(key)).toString();
}

void SaveText(const char* key, const QString& value) {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QLatin1String(kSettingsName),
                     QLatin1String(kSettingsName));
  settings.setValue(QLatin1String(key), value);
}

std::string ChooseWithDialog(QWidget* parent) {
  return QFileDialog::getOpenFileName(parent, QString::fromUtf8(kChooseAddressDbText), QString(),
                                      QStringLiteral("주소 데이터베이스 (*.db);;모든 파일 (*)"))
      .toStdString();
}

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
  setWindowTitle(QString::fromUtf8(kMainCaption));
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
  m_chooseAddressDbFile = setup.chooseAddressDbFile ? setup.chooseAddressDbFile : ChooseWithDialog;
  setUpAddressDb(setup.addressDbPath);

  ZipDatabase& zipTable = m_logic.zipDatabase();
  m_zipLoadStatus = setup.loadZipTable ? setup.loadZipTable(zipTable) : LoadBesideProgram(zipTable);
  if (m_zipLoadStatus != ZipLoadStatus::Ok) return;
  m_sampleLabel->setVisible(zipTable.isSample());
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

  m_sampleLabel = new QLabel(QString::fromUtf8(kSampleTableLabel), this);
  m_sampleLabel->setObjectName(QStringLiteral("sampleLabel"));
  m_sampleLabel->setGeometry(Place(layout::kZipNoteUnits));
  m_sampleLabel->setVisible(false);

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

  // In database mode the list fills as the user types, after a pause.
  m_typedTimer = new QTimer(this);
  m_typedTimer->setSingleShot(true);
  m_typedTimer->setInterval(kTypedPauseMs);
  connect(m_typedTimer, &QTimer::timeout, this, [this] { m_logic.zipTyped(); });
  connect(m_zipQueryBox, &QLineEdit::textEdited, this, [this] {
    if (m_logic.currentPostcode()) m_typedTimer->start();
  });
  connect(m_zipList, &QListWidget::itemSelectionChanged, this, [this] {
    if (!m_fillingList && !m_zipList->selectedItems().isEmpty()) onListSelect();
  });
  connect(m_copyInputButton, &QAbstractButton::clicked, this, [this] { m_logic.copyBox(kInputBox); });
  connect(m_copyOutputButton, &QAbstractButton::clicked, this, [this] { m_logic.copyBox(kOutputBox); });
  connect(m_copyQueryButton, &QAbstractButton::clicked, this, [this] { m_logic.copyBox(kZipQueryBox); });
  connect(m_resetButton, &QAbstractButton::clicked, this, &MainDialog::resetAll);

  m_officialStyleAction = new QAction(QString::fromUtf8(kOfficialStyleText), this);
  m_officialStyleAction->setObjectName(QStringLiteral("officialStyleAction"));
  m_officialStyleAction->setCheckable(true);
  m_officialStyleAction->setChecked(SavedStyle() == Style::Official);
  m_logic.setOfficialStyle(m_officialStyleAction->isChecked());
  connect(m_officialStyleAction, &QAction::toggled, this, [this](bool official) {
    m_logic.setOfficialStyle(official);
    SaveStyle(official ? Style::Official : Style::Classic);
  });

  m_nameModeAction = new QAction(QString::fromUtf8(kNameModeText), this);
  m_nameModeAction->setObjectName(QStringLiteral("nameModeAction"));
  m_nameModeAction->setCheckable(true);
  m_nameModeAction->setChecked(SavedNameMode());
  m_logic.setNameMode(m_nameModeAction->isChecked());
  connect(m_nameModeAction, &QAction::toggled, this, [this](bool on) {
    m_logic.setNameMode(on);
    SaveNameMode(on);
  });
}

void MainDialog::initDialog(const BannerSettings& banner) {
  writeBoxes();
  setWindowIcon(ApplicationIcon());
  m_copyInputButton->setFaces(layout::kIdCopyFace, layout::kIdCopyFace, layout::kIdCopyHoverFace, kFaceKeyColour);
  m_copyOutputButton->setFaces(layout::kIdCopyFace, layout::kIdCopyFace, layout::kIdCopyHoverFace, kFaceKeyColour);
  m_copyQueryButton->setFaces(layout::kIdCopyFace, layout::kIdCopyFace, layout::kIdCopyHoverFace, kFaceKeyColour);
  m_resetButton->setFaces(layout::kIdResetFace, layout::kIdResetFace, layout::kIdResetHoverFace, kFaceKeyColour);
  m_logic.focusLost();  // no box has had the focus yet
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

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  // The About and style items live here, not in a system menu.
  QMenu menu(this);
  menu.setToolTipsVisible(true);  // the database item says how to get a database
  menu.addAction(kAboutText, this, &MainDialog::showAbout);
  menu.addAction(m_officialStyleAction);
  menu.addAction(m_nameModeAction);
  menu.addAction(m_currentPostcodeAction);
  menu.addAction(m_chooseAddressDbAction);
  menu.exec(event->globalPos());
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
      for (int number : {kInputBox, kOutputBox, kZipQueryBox}) {
        if (watched == box(number)) m_logic.focusGained(number);
      }
      break;
    case QEvent::FocusOut:
      if (watched == m_inputBox || watched == m_outputBox || watched == m_zipQueryBox) m_logic.focusLost();
      break;
    default: break;
  }
  return QDialog::eventFilter(watched, event);
}

void MainDialog::dispatchEnter() {
  // Enter searches at once; the pause's search would come after it.
  m_typedTimer->stop();
  m_logic.dispatchEnter();
}

void MainDialog::updateSearchHint() {
  m_zipQueryBox->setPlaceholderText(m_logic.currentPostcode() ? QString::fromUtf8(kDatabaseSearchHint) : QString());
}

QLineEdit* MainDialog::box(int number) const {
  switch (number) {
    case kInputBox: return m_inputBox;
    case kOutputBox: return m_outputBox;
    case kZipQueryBox: return m_zipQueryBox;
    default: return nullptr;
  }
}

std::string MainDialog::boxText(int number) const { return box(number)->text().toStdString(); }

void MainDialog::setBoxText(int number, const std::string& text) {
  // A box shows the start of a text set into it, as a native edit box does;
  // QLineEdit would leave the cursor, and the view, at the end, hiding the
  // house number that a converted address begins with.
  QLineEdit* edit = box(number);
  edit->setText(QString::fromStdString(text));
  edit->setCursorPosition(0);
}

void MainDialog::setListLines(const std::vector<std::string>& lines) {
  m_fillingList = true;
  m_zipList->clear();
  for (const std::string& line : lines) m_zipList->addItem(QString::fromStdString(line));
  m_fillingList = false;
}

void MainDialog::showMessage(const std::string& text) { ShowMessage(this, QString::fromStdString(text)); }

// The output box's tooltip: the window has no status bar, and a warning is
// no reason to stop the user with a box.
void MainDialog::showNote(const std::string& text) { m_outputBox->setToolTip(QString::fromStdString(text)); }

bool MainDialog::setClipboardText(const std::string& text) {
  QApplication::clipboard()->setText(QString::fromStdString(text));
  return true;
}

void MainDialog::setUpAddressDb(const std::string& path) {
  m_currentPostcodeAction = new QAction(QString::fromUtf8(kCurrentPostcodeText), this);
  m_currentPostcodeAction->setObjectName(QStringLiteral("currentPostcodeAction"));
  m_currentPostcodeAction->setCheckable(true);
  m_chooseAddressDbAction = new QAction(QString::fromUtf8(kChooseAddressDbText), this);
  m_chooseAddressDbAction->setObjectName(QStringLiteral("chooseAddressDbAction"));
  connect(m_chooseAddressDbAction, &QAction::triggered, this, &MainDialog::chooseAddressDb);
  const std::string chosen = SavedText(kAddressDbKey).toStdString();
  const std::string file = !path.empty() ? path : !chosen.empty() ? chosen : DefaultAddressDbPath();
  useAddressDb(m_logic.openAddressDb({file}));
  connect(m_currentPostcodeAction, &QAction::toggled, this, [this](bool on) {
    m_logic.setCurrentPostcode(on);
    SaveFlag(kZipSourceKey, "database", on);
    updateSearchHint();
  });
  updateSearchHint();
}

// With a database the five-digit item is offered, checked unless the user
// once unchecked it.
void MainDialog::useAddressDb(bool open) {
  const QSignalBlocker quiet(m_currentPostcodeAction);
  const bool chosenBefore = !SavedText(kZipSourceKey).isNull();
  m_currentPostcodeAction->setEnabled(open);
  m_currentPostcodeAction->setChecked(open && (!chosenBefore || SavedFlag(kZipSourceKey, "database")));
  m_currentPostcodeAction->setToolTip(open ? QString() : QString::fromUtf8(kNoAddressDbTip));
  m_logic.setCurrentPostcode(m_currentPostcodeAction->isChecked());
}

void MainDialog::chooseAddressDb() {
  const std::string path = m_chooseAddressDbFile(this);
  if (path.empty() || !m_logic.chooseAddressDb(path)) return;
  SaveText(kAddressDbKey, QString::fromStdString(path));
  useAddressDb(true);
}

void MainDialog::onListSelect() {
  const QList<QListWidgetItem*> selected = m_zipList->selectedItems();
  if (selected.isEmpty()) return;
  m_logic.chooseLine(static_cast<std::size_t>(m_zipList->row(selected.first())));
}

void MainDialog::showAbout() {
  AboutDialog about(this);
  about.exec();
}

}  // namespace jasokit
