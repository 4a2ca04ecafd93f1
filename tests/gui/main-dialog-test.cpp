// The main window: Enter dispatch on the focused box, the conversion and
// search requests, the list, Copy, Reset, closing, and the start-up
// failures. Runs with QT_QPA_PLATFORM=offscreen.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <functional>
#include <memory>

#include "address/conversion.h"
#include "app/dialog/dialog_layout.h"
#include "app/qt/about_dialog.h"
#include "app/qt/converter_app.h"
#include "app/qt/main_dialog.h"
#include "app/qt/skin_button.h"
#include "app/qt/web_browser.h"
#include "gui-test-util.h"

using namespace jasokit;
using jasokit::test::ClosedPort;
using jasokit::test::Cp;
using jasokit::test::MessageRecorder;
using jasokit::test::Record;

namespace {

const QString kNotFound = QStringLiteral("찾지 못했습니다.");

MainDialogSetup TestSetup() {
  MainDialogSetup setup;
  setup.loadZipTable = [](ZipDatabase& db) {
    // Out of zip code order, with one row twice.
    return test::LoadRows(db, {
                                  Record("612-020", "부산", "해운대구", "역삼동", ""),
                                  Record("135-080", "서울", "강남구", "역삼동", "123-45"),
                                  Record("135-081", "서울", "강남구", "역삼동", "아파트"),
                                  Record("135-081", "서울", "강남구", "역삼동", "아파트"),
                                  Record("100-011", "서울", "중구", "명동1가", ""),
                                  Record("641-773", "경남", "창원시 성산구", "신촌동", "동성아파트"),
                              });
  };
  setup.banner.checkAddress = QStringLiteral("127.0.0.1");
  setup.banner.checkPort = ClosedPort();
  setup.banner.offlinePath = QStringLiteral("/nonexistent/jasokit_view_off.html");
  setup.addressDbPath = "/nonexistent/address.db";
  return setup;
}

QString Utf8Of(const std::string& cp949) {
  std::string utf8;
  Cp949ToUtf8(cp949, utf8);
  return QString::fromStdString(utf8);
}

QString ConvertedOutput(const char* utf8Input) { return Utf8Of(ConvertInput(Cp(utf8Input)).output); }

void PressEnter(QWidget* widget) { QTest::keyClick(widget, Qt::Key_Return); }

const QString kOfficialStyleItem = QStringLiteral("공식 영문 주소 (도로명)");
const QString kNameModeItem = QStringLiteral("이름 (여권)");
const QString kRoadAddress = QStringLiteral("서울특별시 강남구 테헤란로 152");
const QString kRoadAddressClassic = QStringLiteral("152 Teherallo Gangnam-gu Seoul S.KOREA ");
const QString kRoadAddressOfficial = QStringLiteral("152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea");

// Where the window keeps its choices, as any copy of the program finds them.
QSettings* NewProgramSettings() {
  return new QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Jaso_Kit"),
                       QStringLiteral("Jaso_Kit"));
}

QAction* StyleItem(const MainDialog& d) { return d.findChild<QAction*>(QStringLiteral("officialStyleAction")); }
QAction* NameItem(const MainDialog& d) { return d.findChild<QAction*>(QStringLiteral("nameModeAction")); }

// Opens the window's right-click menu, hands it to use, then closes it;
// false if no menu opened.
bool WithContextMenu(MainDialog& d, const std::function<void(QMenu&)>& use) {
  bool opened = false;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    opened = true;
    use(*menu);
    menu->close();
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 300), d.mapToGlobal(QPoint(10, 300)));
  QApplication::sendEvent(&d, &event);
  return opened;
}

}  // namespace

class MainDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainDialog> m_dialog;

  MainDialog& openDialog(const MainDialogSetup& setup = TestSetup()) {
    m_dialog = std::make_unique<MainDialog>(setup);
    m_dialog->show();
    if (!QTest::qWaitForWindowActive(m_dialog.get())) qWarning("window not active");
    return *m_dialog;
  }

  // Moves the keyboard focus and lets the focus events arrive.
  static void focus(QWidget* widget) {
    widget->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(widget->hasFocus());
  }

 private Q_SLOTS:
  // Every test starts from a program that has never kept a choice.
  void init() { std::unique_ptr<QSettings>(NewProgramSettings())->clear(); }
  void cleanup() { m_dialog.reset(); }

  void windowMatchesTemplate() {
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    QCOMPARE(d.windowTitle(), QStringLiteral("주소변환기 + 우편번호찾기"));
    QCOMPARE(d.size(), QSize(600, 497));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    QVERIFY(!(d.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(d.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(c.inputBox->geometry(), QRect(49, 180, 403, 18));
    QCOMPARE(c.outputBox->geometry(), QRect(49, 228, 403, 18));
    QCOMPARE(c.zipQueryBox->geometry(), QRect(49, 321, 403, 18));
    QCOMPARE(c.zipList->geometry(), QRect(49, 347, 403, 81));
    QCOMPARE(c.banner->geometry(), QRect(235, 11, 334, 68));
    QCOMPARE(c.copyInputButton->geometry(), QRect(466, 176, 37, 21));
    QCOMPARE(c.copyOutputButton->geometry(), QRect(466, 222, 37, 21));
    QCOMPARE(c.copyQueryButton->geometry(), QRect(466, 317, 37, 21));
    QCOMPARE(c.resetButton->geometry(), QRect(511, 176, 37, 21));
    // Every control carries a name; they are all the window's children.
    QStringList names;
    for (const QWidget* child : d.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) names << child->objectName();
    names.sort();
    QCOMPARE(names, (QStringList{"banner", "copyInputButton", "copyOutputButton", "copyQueryButton", "inputBox",
                                 "outputBox", "resetButton", "sampleLabel", "zipList", "zipQueryBox"}));

    // Tab walks the controls in template order and wraps around.
    const QList<QWidget*> order = {c.inputBox,        c.outputBox,        c.zipQueryBox,     c.zipList,    c.banner,
                                   c.copyInputButton, c.copyOutputButton, c.copyQueryButton, c.resetButton};
    QTRY_COMPARE(QApplication::focusWidget(), c.inputBox);
    for (int i = 1; i <= order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), order[i % order.size()]);
    }
  }

  void enterActsOnTheFocusedBox() {
    MessageRecorder messages;
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    // Right after start-up the input box has the focus.
    QTRY_COMPARE(d.focusedBox(), 1);

    struct Case {
      QWidget* target;
      int focusedBox;
      QStringList messages;
    };
    const Case cases[] = {
        {c.outputBox, 2, {QStringLiteral("2")}},
        {c.zipList, 0, {QStringLiteral("0")}},
        {c.banner, 0, {QStringLiteral("0")}},
        {c.copyInputButton, 0, {QStringLiteral("0")}},
        {c.resetButton, 0, {QStringLiteral("0")}},
        {c.zipQueryBox, 3, {kNotFound}},  // an empty query finds nothing
        {c.inputBox, 1, {}},              // an empty input does nothing
    };
    for (const Case& row : cases) {
      messages.clear();
      focus(row.target);
      QCOMPARE(d.focusedBox(), row.focusedBox);
      PressEnter(row.target);
      QCOMPARE(messages.texts(), row.messages);
      QVERIFY(d.isVisible());  // Enter never closes the window
    }

    // Moving straight from one box to another ends at the gaining box.
    focus(c.inputBox);
    focus(c.zipQueryBox);
    QCOMPARE(d.focusedBox(), 3);

    // The dispatch looks only at the focused box, not at the key's target.
    messages.clear();
    focus(c.outputBox);
    PressEnter(&d);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("2")});

    // Every auto-repeated key-down runs the action again.
    messages.clear();
    QTest::keyPress(c.outputBox, Qt::Key_Return);
    QTest::keyEvent(QTest::Press, c.outputBox, Qt::Key_Return, Qt::NoModifier);
    QTest::keyRelease(c.outputBox, Qt::Key_Return);
    QCOMPARE(messages.texts().size(), 2);

    // The keypad's Enter is the same key.
    messages.clear();
    QTest::keyClick(c.outputBox, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("2")});
  }

  void conversionRequest() {
    MessageRecorder messages;
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    QTRY_COMPARE(d.focusedBox(), 1);

    // Accepted: the input box gets the normalised text, the output box the result.
    c.inputBox->setText(QStringLiteral("  서울   강남구 역삼동  "));
    c.outputBox->setText(QStringLiteral("old"));
    PressEnter(c.inputBox);
    QCOMPARE(c.inputBox->text(), QStringLiteral("서울 강남구 역삼동"));
    QCOMPARE(c.outputBox->text(), ConvertedOutput("서울 강남구 역삼동"));
    QVERIFY(!c.outputBox->text().isEmpty());
    QCOMPARE(d.inputText(), std::string("서울 강남구 역삼동"));  // held as UTF-8
    QVERIFY(messages.texts().isEmpty());

    // Characters without a CP949 form pass through the conversion unchanged.
    c.inputBox->setText(QStringLiteral("café 한글 😀"));
    PressEnter(c.inputBox);
    QCOMPARE(c.inputBox->text(), QStringLiteral("café 한글 😀"));
    QCOMPARE(c.outputBox->text(), QStringLiteral("Café hangeul 😀"));
    QCOMPARE(d.outputText(), std::string("Café hangeul 😀"));

    // Blank: nothing at all, not even the input box is rewritten.
    c.inputBox->setText(QStringLiteral("   "));
    PressEnter(c.inputBox);
    QCOMPARE(c.inputBox->text(), QStringLiteral("   "));
    QCOMPARE(c.outputBox->text(), QStringLiteral("Café hangeul 😀"));
    QVERIFY(messages.texts().isEmpty());

    // 512 syllables (1024 bytes) pass; 513 are refused and change no box.
    c.inputBox->setText(QString(512, QChar(0xAC00)));
    PressEnter(c.inputBox);
    QVERIFY(messages.texts().isEmpty());
    QVERIFY(c.outputBox->text().startsWith(QStringLiteral("Gaga")));

    c.outputBox->setText(QStringLiteral("kept"));
    const QString tooLong = QString(513, QChar(0xAC00));
    c.inputBox->setText(tooLong);
    PressEnter(c.inputBox);
    QCOMPARE(messages.texts(),
             QStringList{
                 QStringLiteral("입력 길이가 1000 글자를 초과하여 처리할 수 없습니다.\r\n다시 한번 확인해 주세요.")});
    QCOMPARE(c.inputBox->text(), tooLong);
    QCOMPARE(c.outputBox->text(), QStringLiteral("kept"));
  }

  void charactersOutsideCp949CountTwoBytes() {
    MessageRecorder messages;
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    QTRY_COMPARE(d.focusedBox(), 1);
    const QString refusal = QString::fromUtf8(kRefusalMessageUtf8);

    // Four bytes of UTF-8 (two UTF-16 units) each, yet two at the limit.
    const QString emoji = QStringLiteral("😀");
    c.inputBox->setText(emoji.repeated(512));
    PressEnter(c.inputBox);
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(c.inputBox->text(), emoji.repeated(512));
    QCOMPARE(c.outputBox->text(), emoji.repeated(512));

    c.outputBox->setText(QStringLiteral("kept"));
    c.inputBox->setText(emoji.repeated(513));
    PressEnter(c.inputBox);
    QCOMPARE(messages.texts(), QStringList{refusal});
    QCOMPARE(c.inputBox->text(), emoji.repeated(513));
    QCOMPARE(c.outputBox->text(), QStringLiteral("kept"));

    // One more byte than the limit, made of a syllable and the rest.
    messages.clear();
    c.inputBox->setText(QStringLiteral("a") + QString(511, QChar(0xAC00)) + emoji);
    PressEnter(c.inputBox);
    QCOMPARE(messages.texts(), QStringList{refusal});
  }

  void zipSearchFillsTheList() {
    MessageRecorder messages;
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    focus(c.zipQueryBox);
    c.zipQueryBox->setText(QStringLiteral("역삼동"));
    c.inputBox->setText(QStringLiteral("typed"));
    PressEnter(c.zipQueryBox);
    QVERIFY(messages.texts().isEmpty());

    // One line per record, duplicates kept, in zip code order; the lines
    // keep the space fill of the table's fields.
    QStringList lines;
    for (int i = 0; i < c.zipList->count(); ++i) lines << c.zipList->item(i)->text();
    const QString pad7(7, QChar(' '));
    const QString pad17(17, QChar(' '));
    QCOMPARE(lines,
             (QStringList{
                 QStringLiteral("135-080 서울 강남구") + pad7 + QStringLiteral(" 역삼동 123-45") + QString(11, ' '),
                 QStringLiteral("135-081 서울 강남구") + pad7 + QStringLiteral(" 역삼동 아파트") + QString(11, ' '),
                 QStringLiteral("135-081 서울 강남구") + pad7 + QStringLiteral(" 역삼동 아파트") + QString(11, ' '),
                 QStringLiteral("612-020 부산 해운대구") + QString(5, ' ') + QStringLiteral(" 역삼동 ") + pad17,
             }));
    // Nothing is selected, the focus stays, the boxes were read, not written.
    QVERIFY(c.zipList->selectedItems().isEmpty());
    QCOMPARE(QApplication::focusWidget(), c.zipQueryBox);
    QCOMPARE(d.inputText(), std::string("typed"));

    // The text is used as typed: a trailing space finds nothing, and the
    // lines of the previous search are gone.
    c.zipQueryBox->setText(QStringLiteral("역삼동 "));
    PressEnter(c.zipQueryBox);
    QCOMPARE(messages.texts(), QStringList{kNotFound});
    QCOMPARE(c.zipList->count(), 0);
    QCOMPARE(c.zipQueryBox->text(), QStringLiteral("역삼동 "));
  }

  void zipQueryOutsideCp949FindsNothing() {
    MessageRecorder messages;
    // A row whose name is what a lossy conversion of the queries would give.
    MainDialogSetup setup = TestSetup();
    setup.loadZipTable = [](ZipDatabase& db) {
      return test::LoadRows(db, {Record("135-080", "서울", "강남구", "?동", "")});
    };
    MainDialog& d = openDialog(setup);
    const test::Controls c(d);
    QVERIFY(c.complete());
    focus(c.zipQueryBox);
    c.zipQueryBox->setText(QStringLiteral("?동"));
    PressEnter(c.zipQueryBox);
    QCOMPARE(c.zipList->count(), 1);
    QVERIFY(messages.texts().isEmpty());

    for (const QString& query : {QStringLiteral("😀동"), QStringLiteral("é동"), QStringLiteral("\u00A0동")}) {
      messages.clear();
      c.zipQueryBox->setText(query);
      PressEnter(c.zipQueryBox);
      QCOMPARE(messages.texts(), QStringList{kNotFound});
      QCOMPARE(c.zipList->count(), 0);
      QCOMPARE(c.zipQueryBox->text(), query);
      QCOMPARE(d.zipQuery(), query.toStdString());
    }
  }

  void choosingALineConvertsItsAddress() {
    MessageRecorder messages;
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    focus(c.zipQueryBox);
    c.zipQueryBox->setText(QStringLiteral("역삼동"));
    PressEnter(c.zipQueryBox);
    QCOMPARE(c.zipList->count(), 4);

    focus(c.zipList);
    c.outputBox->setText(QStringLiteral("typed since the last read"));
    // The first line: its zip code dropped, its runs of spaces collapsed.
    QTest::mouseClick(c.zipList->viewport(), Qt::LeftButton, {},
                      c.zipList->visualItemRect(c.zipList->item(0)).center());
    QCOMPARE(c.inputBox->text(), QStringLiteral("서울 강남구 역삼동 123-45"));
    QCOMPARE(c.outputBox->text(), ConvertedOutput("서울 강남구 역삼동 123-45"));
    QCOMPARE(d.inputText(), std::string("서울 강남구 역삼동 123-45"));
    QCOMPARE(QApplication::focusWidget(), c.zipList);

    // The keyboard selects too; the last line's trailing spaces are trimmed.
    QTest::keyClick(c.zipList, Qt::Key_End);
    QCOMPARE(c.inputBox->text(), QStringLiteral("부산 해운대구 역삼동"));
    QCOMPARE(c.outputBox->text(), ConvertedOutput("부산 해운대구 역삼동"));
    QVERIFY(messages.texts().isEmpty());
  }

  void writtenBoxesShowTheStartOfTheirText() {
    MessageRecorder messages;
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    auto cursors = [&c] {
      return QList<int>{c.inputBox->cursorPosition(), c.outputBox->cursorPosition(), c.zipQueryBox->cursorPosition()};
    };
    const QList<int> atStart{0, 0, 0};

    // The result is far wider than its box; its house number comes first.
    focus(c.inputBox);
    c.inputBox->setText(QStringLiteral("경상남도 창원시 성산구 신촌동 동성아파트 101동 1203호"));
    c.zipQueryBox->setText(QStringLiteral("신촌동"));
    PressEnter(c.inputBox);
    QCOMPARE(c.outputBox->text(), ConvertedOutput("경상남도 창원시 성산구 신촌동 동성아파트 101동 1203호"));
    QVERIFY(c.outputBox->text().startsWith(QStringLiteral("1203")));
    QVERIFY(c.outputBox->fontMetrics().horizontalAdvance(c.outputBox->text()) > c.outputBox->width());
    QCOMPARE(cursors(), atStart);

    focus(c.zipQueryBox);
    PressEnter(c.zipQueryBox);
    QCOMPARE(c.zipList->count(), 1);
    focus(c.zipList);
    QTest::mouseClick(c.zipList->viewport(), Qt::LeftButton, {},
                      c.zipList->visualItemRect(c.zipList->item(0)).center());
    QCOMPARE(c.inputBox->text(), QStringLiteral("경남 창원시 성산구 신촌동 동성아파트"));
    QCOMPARE(c.outputBox->text(), ConvertedOutput("경남 창원시 성산구 신촌동 동성아파트"));
    QCOMPARE(cursors(), atStart);
    QVERIFY(messages.texts().isEmpty());
  }

  void copyPutsTheCurrentTextOnTheClipboard() {
    MessageRecorder messages;
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    QClipboard* clipboard = QApplication::clipboard();

    struct Case {
      QLineEdit* box;
      SkinButton* button;
    };
    const Case cases[] = {
        {c.inputBox, c.copyInputButton}, {c.outputBox, c.copyOutputButton}, {c.zipQueryBox, c.copyQueryButton}};
    // The second text has characters with no CP949 form: nothing is lost.
    const QString texts[] = {QStringLiteral("한글 text"), QStringLiteral("café\u00A0한글 😀")};
    for (const QString& text : texts) {
      for (const Case& row : cases) {
        focus(row.box);
        // Typed after the last conversion: Copy reads the boxes first.
        row.box->setText(text);
        QTest::mouseClick(row.button, Qt::LeftButton);
        QCOMPARE(clipboard->text(), text);
        QCOMPARE(row.box->text(), text);
        // The click moved the focus to the button: Enter now shows "0".
        QCOMPARE(QApplication::focusWidget(), row.button);
        QCOMPARE(d.focusedBox(), 0);
        PressEnter(row.button);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("0")});
        messages.clear();
      }
    }

    // An empty box empties the clipboard; the space bar works like a click.
    c.outputBox->clear();
    focus(c.copyOutputButton);
    QTest::keyClick(c.copyOutputButton, Qt::Key_Space);
    QCOMPARE(clipboard->text(), QString());
  }

  void resetEmptiesEverything() {
    MessageRecorder messages;
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    focus(c.zipQueryBox);
    c.zipQueryBox->setText(QStringLiteral("역삼동"));
    PressEnter(c.zipQueryBox);
    c.inputBox->setText(QStringLiteral("a"));
    c.outputBox->setText(QStringLiteral("b"));

    // From the keyboard the focus stays where it was.
    d.resetAll();
    QCOMPARE(c.inputBox->text(), QString());
    QCOMPARE(c.outputBox->text(), QString());
    QCOMPARE(c.zipQueryBox->text(), QString());
    QCOMPARE(c.zipList->count(), 0);
    QCOMPARE(d.focusedBox(), 3);
    PressEnter(c.zipQueryBox);
    QCOMPARE(messages.texts(), QStringList{kNotFound});

    // A click moves the focus to the button.
    messages.clear();
    c.inputBox->setText(QStringLiteral("x"));
    QTest::mouseClick(c.resetButton, Qt::LeftButton);
    QCOMPARE(c.inputBox->text(), QString());
    QCOMPARE(QApplication::focusWidget(), c.resetButton);
    QCOMPARE(d.focusedBox(), 0);
  }

  void escapeAndCloseEndTheDialog() {
    for (int which = 0; which < 4; ++which) {
      MainDialog& d = openDialog();
      const test::Controls c(d);
      QVERIFY(c.complete());
      QWidget* target = nullptr;
      switch (which) {
        case 0: target = c.inputBox; break;
        case 1: target = c.zipList; break;
        case 2: target = c.banner; break;
        default: target = c.copyInputButton; break;
      }
      focus(target);
      QTest::keyClick(target, Qt::Key_Escape);
      QVERIFY2(!d.isVisible(), qPrintable(QStringLiteral("Esc in control %1").arg(which)));
      QCOMPARE(d.result(), int(QDialog::Rejected));
    }
    MainDialog& d = openDialog();
    QVERIFY(d.close());
    QVERIFY(!d.isVisible());
  }

  void failedNetworkingStartLeavesNoFocus() {
    MessageRecorder messages;
    MainDialogSetup setup = TestSetup();
    setup.banner.startNetworking = [] { return false; };
    MainDialog& d = openDialog(setup);
    const test::Controls c(d);
    QVERIFY(c.complete());
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("WSAStartup failed")});
    QVERIFY(!d.initialFocusSet());
    QVERIFY(c.banner->location().isEmpty());
    QCOMPARE(d.focusedBox(), 0);
    QVERIFY(QApplication::focusWidget() == nullptr || QApplication::focusWidget() == &d);
    messages.clear();
    PressEnter(&d);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("0")});
  }

  void aboutBox() {
    MainDialog& d = openDialog();
    AboutDialog about(&d);
    QCOMPARE(about.windowTitle(), QStringLiteral("Jaso_Kit 정보"));
    QCOMPARE(about.size(), QSize(411, 83));
    QStringList texts;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
      if (!label->text().isEmpty()) texts << label->text();
    }
    QVERIFY(texts.contains(QStringLiteral("Jaso_Kit 버전 1.0")));
    auto* ok = about.findChild<QPushButton*>();
    QVERIFY(ok != nullptr);
    QCOMPARE(ok->text(), QStringLiteral("확인"));
    about.open();
    about.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &about);
    // Enter in the About box is the box's own: it presses its OK button
    // and leaves the main window alone.
    QCOMPARE(QApplication::focusWidget(), ok);
    QTest::keyClick(ok, Qt::Key_Return);
    QCOMPARE(about.result(), int(QDialog::Accepted));
    QVERIFY(d.isVisible());
  }

  void messageBoxIsAWarningWithOk() {
    // The real box, closed from a timer once it is up.
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->standardButtons();
      box->button(QMessageBox::Ok)->click();
    });
    ShowMessage(nullptr, QStringLiteral("first\r\nsecond"));
    QCOMPARE(title, QCoreApplication::applicationName());
    QCOMPARE(ApplicationTitle(), QCoreApplication::applicationName());
    QCOMPARE(text, QStringLiteral("first\nsecond"));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  }

  void contextMenuOffersTheAboutBox() {
    MainDialog& d = openDialog();
    QStringList items;
    bool aboutShown = false;
    QTimer::singleShot(0, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr) return;
      for (QAction* action : menu->actions()) items << action->text();
      // Choosing the item opens the About box; close it again.
      QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        aboutShown = about != nullptr;
        if (about) about->accept();
      });
      menu->actions().first()->trigger();
      menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 300), d.mapToGlobal(QPoint(10, 300)));
    QApplication::sendEvent(&d, &event);
    QCOMPARE(items,
             (QStringList{QStringLiteral("Jaso_Kit 정보(&A)..."), kOfficialStyleItem, kNameModeItem,
                          QStringLiteral("최신 우편번호 (5자리)"), QStringLiteral("주소 데이터베이스 파일 선택…")}));
    QVERIFY(aboutShown);
  }

  void contextMenuChecksTheOfficialStyle() {
    MainDialog& d = openDialog();
    QAction* item = StyleItem(d);
    QVERIFY(item != nullptr);
    // The item beside About is the window's own, and choosing it there
    // checks it, then unchecks it.
    for (const bool checkedAfter : {true, false}) {
      QList<QAction*> actions;
      QVERIFY(WithContextMenu(d, [&](QMenu& menu) {
        actions = menu.actions();
        if (actions.size() == 5) actions[1]->trigger();
      }));
      QCOMPARE(actions.size(), 5);
      QCOMPARE(actions[1], item);
      QCOMPARE(item->isChecked(), checkedAfter);
    }
  }

  void officialStyleItemIsCheckableAndOffByDefault() {
    MainDialog& d = openDialog();
    QAction* item = StyleItem(d);
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), kOfficialStyleItem);
    QVERIFY(item->isCheckable());
    QVERIFY(!item->isChecked());
  }

  void styleAppliesToEnterInTheInputBox() {
    MessageRecorder messages;
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    QAction* item = StyleItem(d);
    QVERIFY(item != nullptr);
    QTRY_COMPARE(d.focusedBox(), 1);

    struct Case {
      bool official;
      QString output;
    };
    // Unchecking brings the classic style back.
    const Case cases[] = {{false, kRoadAddressClassic}, {true, kRoadAddressOfficial}, {false, kRoadAddressClassic}};
    for (const Case& row : cases) {
      item->setChecked(row.official);
      c.inputBox->setText(QStringLiteral("  ") + kRoadAddress);
      c.outputBox->clear();
      PressEnter(c.inputBox);
      QCOMPARE(c.inputBox->text(), kRoadAddress);
      QCOMPARE(c.outputBox->text(), row.output);
    }
    QVERIFY(messages.texts().isEmpty());
  }

  void nameModeRomanizesTheInputAsANameAndIsKept() {
    MainDialog* d = &openDialog();
    QAction* item = NameItem(*d);
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), kNameModeItem);
    QVERIFY(item->isCheckable() && !item->isChecked());
    item->setChecked(true);
    m_dialog.reset();  // the next run finds it checked
    d = &openDialog();
    const test::Controls c(*d);
    QVERIFY(c.complete());
    QVERIFY(NameItem(*d)->isChecked());
    QTRY_COMPARE(d->focusedBox(), 1);
    c.inputBox->setText(QStringLiteral("한복남"));
    PressEnter(c.inputBox);
    QCOMPARE(c.outputBox->text(), QStringLiteral("Han Boknam"));
    // A chosen zip code row is still converted as an address.
    focus(c.zipQueryBox);
    c.zipQueryBox->setText(QStringLiteral("역삼동"));
    PressEnter(c.zipQueryBox);
    focus(c.zipList);
    QTest::keyClick(c.zipList, Qt::Key_End);
    QCOMPARE(c.outputBox->text(), ConvertedOutput("부산 해운대구 역삼동"));
    NameItem(*d)->setChecked(false);
    focus(c.inputBox);
    c.inputBox->setText(QStringLiteral("한복남"));
    PressEnter(c.inputBox);
    QCOMPARE(c.outputBox->text(), QStringLiteral("Hanbongnam"));
  }

  void styleIsKeptBetweenRuns() {
    MainDialog* d = &openDialog();
    QVERIFY(StyleItem(*d) != nullptr);
    StyleItem(*d)->setChecked(true);

    for (const bool official : {true, false}) {
      // A new window, as the next run of the program builds it.
      m_dialog.reset();
      d = &openDialog();
      const test::Controls c(*d);
      QVERIFY(c.complete());
      QAction* item = StyleItem(*d);
      QVERIFY(item != nullptr);
      QCOMPARE(item->isChecked(), official);
      QCOMPARE(std::unique_ptr<QSettings>(NewProgramSettings())->value(QStringLiteral("style")).toString(),
               official ? QStringLiteral("official") : QStringLiteral("classic"));
      QTRY_COMPARE(d->focusedBox(), 1);
      c.inputBox->setText(kRoadAddress);
      PressEnter(c.inputBox);
      QCOMPARE(c.outputBox->text(), official ? kRoadAddressOfficial : kRoadAddressClassic);
      item->setChecked(false);  // kept for the second window
    }
  }

  void savedStyleIsReadAtStartUp() {
    struct Case {
      const char* saved;
      bool checked;
    };
    // Only the style's own names count; anything else is the default.
    const Case cases[] = {
        {"official", true}, {"classic", false}, {"Official", false}, {"", false}, {"road", false},
    };
    for (const Case& row : cases) {
      std::unique_ptr<QSettings>(NewProgramSettings())->setValue(QStringLiteral("style"), QString::fromUtf8(row.saved));
      MainDialog& d = openDialog();
      QVERIFY(StyleItem(d) != nullptr);
      QVERIFY2(StyleItem(d)->isChecked() == row.checked, row.saved);
      m_dialog.reset();
    }
  }

  void chosenRowConvertsInTheChosenStyle() {
    MessageRecorder messages;
    MainDialog& d = openDialog();
    const test::Controls c(d);
    QVERIFY(c.complete());
    QVERIFY(StyleItem(d) != nullptr);
    StyleItem(d)->setChecked(true);
    focus(c.zipQueryBox);
    c.zipQueryBox->setText(QStringLiteral("역삼동"));
    PressEnter(c.zipQueryBox);
    QCOMPARE(c.zipList->count(), 4);

    focus(c.zipList);
    QTest::mouseClick(c.zipList->viewport(), Qt::LeftButton, {},
                      c.zipList->visualItemRect(c.zipList->item(0)).center());
    QCOMPARE(c.inputBox->text(), QStringLiteral("서울 강남구 역삼동 123-45"));
    QCOMPARE(c.outputBox->text(), QStringLiteral("123-45 Yeoksam-dong, Gangnam-gu, Seoul, Republic of Korea"));
    QVERIFY(messages.texts().isEmpty());
  }

  void currentPostcodesNeedADatabase() {
    MainDialog& d = openDialog();
    auto* item = d.findChild<QAction*>(QStringLiteral("currentPostcodeAction"));
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), QStringLiteral("최신 우편번호 (5자리)"));
    QVERIFY(item->isCheckable());
    QVERIFY(!item->isEnabled());
    QVERIFY(item->toolTip().contains(QStringLiteral("jasokit addrdb build")));
  }

  void currentPostcodesListTheDatabaseAndConvertOfficially() {
    MessageRecorder messages;
    MainDialogSetup setup = TestSetup();
    setup.addressDbPath = JASOKIT_BINARY_DIR "/cli/address-sample.db";
    MainDialog& d = openDialog(setup);
    const test::Controls c(d);
    QVERIFY(c.complete());
    auto* item = d.findChild<QAction*>(QStringLiteral("currentPostcodeAction"));
    // With a database, the item starts checked the first time.
    QVERIFY(item != nullptr && item->isEnabled() && item->isChecked());
    item->setChecked(false);
    item->setChecked(true);
    QCOMPARE(std::unique_ptr<QSettings>(NewProgramSettings())->value(QStringLiteral("zipsource")).toString(),
             QStringLiteral("database"));
    focus(c.zipQueryBox);
    c.zipQueryBox->setText(QStringLiteral("G-heim"));
    PressEnter(c.zipQueryBox);
    QCOMPARE(c.zipList->count(), 1);
    QCOMPARE(c.zipList->item(0)->text(), QStringLiteral("06303 서울특별시 강남구 개포로17길 9-3 (G-heim)"));
    focus(c.zipList);
    QTest::mouseClick(c.zipList->viewport(), Qt::LeftButton, {},
                      c.zipList->visualItemRect(c.zipList->item(0)).center());
    QCOMPARE(c.inputBox->text(), QStringLiteral("서울특별시 강남구 개포로17길 9-3"));
    QCOMPARE(c.outputBox->text(), QStringLiteral("9-3 Gaepo-ro 17-gil, Gangnam-gu, Seoul, 06303, Republic of Korea"));
    // Unchecked, the search is the classic one again.
    item->setChecked(false);
    focus(c.zipQueryBox);
    c.zipQueryBox->setText(QStringLiteral("역삼동"));
    PressEnter(c.zipQueryBox);
    QCOMPARE(c.zipList->count(), 4);
    QVERIFY(messages.texts().isEmpty());
  }

  // The database item asks for a file, keeps it in the settings, and the
  // five-digit item follows; a file that is no database is refused by name.
  void theDatabaseItemChoosesTheFileAndKeepsIt() {
    MessageRecorder messages;
    const std::string sample = JASOKIT_BINARY_DIR "/cli/address-sample.db";
    QTemporaryDir dir;
    QFile text(dir.filePath(QStringLiteral("notes.db")));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a database\n") > 0);
    text.close();
    std::string answer = text.fileName().toStdString();
    MainDialogSetup setup = TestSetup();
    setup.chooseAddressDbFile = [&](QWidget*) { return answer; };
    MainDialog& d = openDialog(setup);
    auto* choose = d.findChild<QAction*>(QStringLiteral("chooseAddressDbAction"));
    auto* current = d.findChild<QAction*>(QStringLiteral("currentPostcodeAction"));
    QVERIFY(choose != nullptr && current != nullptr && !current->isEnabled());
    choose->trigger();
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY(messages.texts().first().startsWith(QString::fromStdString(answer) + QStringLiteral(": ")));
    QVERIFY(!current->isEnabled());
    answer = sample;
    choose->trigger();
    QVERIFY(current->isEnabled() && current->isChecked());
    QCOMPARE(std::unique_ptr<QSettings>(NewProgramSettings())->value(QStringLiteral("addressdb")).toString(),
             QString::fromStdString(sample));
    // The next start opens it without being told.
    MainDialogSetup next = TestSetup();
    next.addressDbPath.clear();
    MainDialog& again = openDialog(next);
    QVERIFY(again.findChild<QAction*>(QStringLiteral("currentPostcodeAction"))->isEnabled());
  }

  void theSampleTableIsLabelled() {
    MainDialog& d = openDialog();
    QVERIFY(!d.findChild<QLabel*>(QStringLiteral("sampleLabel"))->isVisible());
    MainDialogSetup setup = TestSetup();
    setup.loadZipTable = [](ZipDatabase& db) {
      std::string table = ZipTableWriter(std::tm{}).Build({Record("135-080", "서울", "강남구", "역삼동", "")});
      MarkZipTableSample(table);
      return db.Parse(table);
    };
    MainDialog& sample = openDialog(setup);
    auto* label = sample.findChild<QLabel*>(QStringLiteral("sampleLabel"));
    QVERIFY(label->isVisible());
    QVERIFY(label->text().contains(QStringLiteral("sample")));
  }

  void inDatabaseModeTheListFillsAsOneTypes() {
    MessageRecorder messages;
    MainDialogSetup setup = TestSetup();
    setup.addressDbPath = JASOKIT_BINARY_DIR "/cli/address-sample.db";
    MainDialog& d = openDialog(setup);
    const test::Controls c(d);
    QVERIFY(c.complete());
    auto* item = d.findChild<QAction*>(QStringLiteral("currentPostcodeAction"));
    QVERIFY(item != nullptr);
    item->setChecked(true);
    QVERIFY(c.zipQueryBox->placeholderText().contains(QStringLiteral("건물 이름")));
    focus(c.zipQueryBox);
    // Qt 6.4's keyClicks stops at text that is not ASCII: the text is set,
    // then one key is typed.
    c.zipQueryBox->setText(QStringLiteral("개포로17길 9-3 2층"));
    QTest::keyClick(c.zipQueryBox, Qt::Key_Space);
    QTRY_VERIFY(c.zipList->count() > 0);
    QCOMPARE(c.zipList->item(0)->text(), QStringLiteral("06303 서울특별시 강남구 개포로17길 9-3 (G-heim)"));
    focus(c.zipList);
    QTest::mouseClick(c.zipList->viewport(), Qt::LeftButton, {},
                      c.zipList->visualItemRect(c.zipList->item(0)).center());
    QCOMPARE(c.inputBox->text(), QStringLiteral("서울특별시 강남구 개포로17길 9-3 2층"));
    QCOMPARE(c.outputBox->text(),
             QStringLiteral("2F, 9-3 Gaepo-ro 17-gil, Gangnam-gu, Seoul, 06303, Republic of Korea"));
    // Typing what matches nothing empties the list and says nothing.
    focus(c.zipQueryBox);
    c.zipQueryBox->setText(QStringLiteral("없는로"));
    QTest::keyClick(c.zipQueryBox, Qt::Key_Space);
    QTRY_COMPARE(c.zipList->count(), 0);
    QVERIFY(messages.texts().isEmpty());
    // The classic search keeps its empty hint and waits for Enter.
    item->setChecked(false);
    QVERIFY(c.zipQueryBox->placeholderText().isEmpty());
    c.zipQueryBox->setText(QStringLiteral("역삼동"));
    QTest::keyClick(c.zipQueryBox, Qt::Key_Space);
    QTest::qWait(300);
    QCOMPARE(c.zipList->count(), 0);
  }

  void missingTableEndsTheProgram() {
    // A copy of this program in a folder without the table; a table in the
    // current folder does not count.
    QTemporaryDir exeDir;
    QTemporaryDir workDir;
    QVERIFY(exeDir.isValid() && workDir.isValid());
    const QString exe = test::CopyOfThisProgram(exeDir);
    QVERIFY(!exe.isEmpty());
    QFile decoy(QDir(workDir.path()).filePath(QString::fromLatin1(kZipFileName)));
    QVERIFY(decoy.open(QIODevice::WriteOnly));
    decoy.close();

    const test::ChildRun run = test::RunChild(exe, {QString::fromLatin1(test::kStartupChildOption)}, workDir.path());
    QVERIFY(run.finished);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QStringLiteral("Jaso_Kit: stat function failed\n"));
  }
};

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], test::kStartupChildOption) == 0) return test::RunStartupChild(argc, argv);
  QApplication app(argc, argv);
  if (test::IsolateSettings().isEmpty()) return 1;
  MainDialogTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "main-dialog-test.moc"
