#include "service/core/qt/qt_front_end.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/recording_procedures.h"
#include "tests/test_env.h"

namespace velunor {
namespace {

// The recording fake, whose master-data load can also end the program the way
// a configuration fault does.
struct Procs : testing::RecordingProcedures {
  Status DB_LOXStammdaten() override {
    const Status loaded = RecordingProcedures::DB_LOXStammdaten();
    if (configuration_fault) throw ProgramEnd{"Einstellungen nicht gefunden"};
    return loaded;
  }
  bool configuration_fault = false;
};

// A test must never open a window on the developer's desktop. The offscreen
// platform's notes about what it cannot do (size hints, the X11 tray, a
// runtime directory) would bury real warnings.
void DropPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith("This plugin does not support") || text.startsWith("QStandardPaths:") ||
      text.contains("systemTrayWindowChanged")) {
    return;
  }
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}
int UseOffscreenPlatform() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(DropPlatformNotes);
  return 0;
}

constexpr int kNoTicks = 3600 * 1000;  // armed, but never fires during a test
constexpr int kWaitMs = 5000;

class QtWindowTest : public ::testing::Test {
 protected:
  QtWindowTest() { window_.WriteStationIni(); }

  static QWidget* Window() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() == "MarktTransp") return widget;
    }
    return nullptr;
  }
  template <class T>
  static T* Find(const std::string& name) {
    T* found = Window()->findChild<T*>(QString::fromStdString(name));
    if (found == nullptr) ADD_FAILURE() << "the window has no " << name;
    return found;
  }
  static QPushButton* Button(int index) {
    return Find<QPushButton>("Command1_" + std::to_string(index));
  }
  static void Click(int index) { QTest::mouseClick(Button(index), Qt::LeftButton); }
  // The same path as the real icon: its activated signal.
  static void Tray(QSystemTrayIcon::ActivationReason reason) {
    emit Find<QSystemTrayIcon>("Picture1")->activated(reason);
  }
  // Answers every modal message box with OK and keeps its text.
  std::unique_ptr<QTimer> AnswerMessages() {
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        messages_.push_back(box->text().toStdString());
        EXPECT_EQ(box->textFormat(), Qt::PlainText) << "a text from the database is no markup";
        box->accept();
      }
    });
    timer->start(10);
    return timer;
  }

  velunor::testing::TestEnv t_;
  int offscreen_ = UseOffscreenPlatform();
  int argc_ = 1;
  char arg0_[16] = "core_qt_test";
  char* argv_[2] = {arg0_, nullptr};
  QtFrontEnd fe_{argc_, argv_, t_.window};
  Env env_{t_.dir.path(), t_.clock, t_.log, t_.service, fe_, RealFileSystem()};
  velunor::testing::WindowOnRecordings<Procs> window_{t_, env_, fe_};
  Procs& procs_ = window_.procs;
  MarktTransp& w_ = window_.w;
  std::vector<std::string> messages_;
};

TEST_F(QtWindowTest, ShowsEveryControlOfTheModelAndFollowsItsChanges) {
  ASSERT_TRUE(fe_.Start(w_, kNoTicks, 0));
  QWidget* window = Window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), "Datenübergabe an die Markttransparenzstelle");
  EXPECT_EQ(Find<QLabel>("Info")->text(), "06.12.2026 09:05:00 Velunor erfolgreich gestartet");
  EXPECT_EQ(Find<QLabel>("Label2")->text(), "Kommunikation:");
  EXPECT_EQ(Find<QLabel>("Label1_0")->text(), "Version Grunddaten:");
  EXPECT_EQ(Find<QLabel>("Label1_6")->text(), "---");
  EXPECT_EQ(Find<QLabel>("StatusBar1_2")->text(), "09:05:00 Uhr");
  EXPECT_TRUE(Find<QLabel>("StatusBar1_1")->text().startsWith("Velunor V "));
  EXPECT_EQ(Button(2)->text(), "Manuelle Übertragung");
  EXPECT_EQ(Find<QSystemTrayIcon>("Picture1")->toolTip(), "Velunor");
  EXPECT_TRUE(Find<QSystemTrayIcon>("Picture1")->isVisible())
      << "the icon exists from Form_Load on";
  QTimer* timer = Find<QTimer>("Haupt_Timer");
  EXPECT_TRUE(timer->isActive()) << "the start-up sequence arms the main timer";
  EXPECT_EQ(timer->interval(), kNoTicks) << "the interval comes from the command line";

  t_.window.SetText(ShownTextIndex("frame1"), "Stationen zu Müller && Söhne");
  EXPECT_EQ(Find<QLabel>("Frame1Caption")->text(), "Stationen zu Müller & Söhne");

  auto* grid = Find<QTableWidget>("VSF");
  ASSERT_EQ(grid->columnCount(), 7);
  EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "Station / Letzte Verstellzeit");
  EXPECT_EQ(grid->horizontalHeaderItem(6)->text(), "CNG");
  t_.window.SetGridRows(4);
  t_.window.SetCell(1, 0, "Zentrale");
  t_.window.SetCell(2, 0, "7 Tankstelle Nord");
  t_.window.SetCell(3, 2, "1.799 €");
  ASSERT_EQ(grid->rowCount(), 3) << "the caption row is the header, not a table row";
  EXPECT_EQ(grid->item(0, 0)->text(), "Zentrale");
  EXPECT_EQ(grid->item(1, 0)->text(), "7 Tankstelle Nord");
  EXPECT_EQ(grid->item(2, 2)->text(), "1.799 €");
  t_.window.SetGridRows(2);
  t_.window.SetGridRows(4);
  EXPECT_EQ(grid->rowCount(), 3);
  EXPECT_EQ(grid->item(1, 0)->text(), "") << "rows laid out again start empty";

  auto* list = Find<QListWidget>("List1");
  t_.window.AddList1("09:05:00 Verbindung wird aufgebaut");
  t_.window.AddList1("09:05:01 Anfrage gesendet");
  t_.window.AddList1("09:05:02 acknowledge");
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->currentRow(), 2) << "the newest line is selected";
  t_.window.ClearList1();
  EXPECT_EQ(list->count(), 0);
  t_.window.AddList1("09:06:00 neu");
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), "09:06:00 neu");

  t_.window.SetLabel1(5, {"06.12.2026 09:04:00", LabelKind::kSet});
  t_.window.SetLabel1(7, {"!! 06.12.2026 09:05:00 !!", LabelKind::kFailed});
  QLabel* success = Find<QLabel>("Label1_5");
  QLabel* failure = Find<QLabel>("Label1_7");
  EXPECT_EQ(failure->text(), "!! 06.12.2026 09:05:00 !!");
  EXPECT_NE(failure->palette().color(QPalette::WindowText),
            success->palette().color(QPalette::WindowText))
      << "a failed transmission stands out";
  t_.window.SetLabel1(7, {"---", LabelKind::kEmpty});
  EXPECT_EQ(failure->palette().color(QPalette::WindowText),
            Find<QLabel>("Label1_6")->palette().color(QPalette::WindowText));

  QLabel* alarm = Find<QLabel>("Alarm");
  EXPECT_FALSE(alarm->isVisible()) << "no alarm, no line";
  t_.window.SetText(ShownTextIndex("alarm"),
                    "ALARM: Seit 06.12.2026 09:05:00 keine Preisdaten von der MTS-K bestätigt");
  EXPECT_TRUE(alarm->isVisible());
  EXPECT_EQ(alarm->text(),
            "ALARM: Seit 06.12.2026 09:05:00 keine Preisdaten von der MTS-K bestätigt");
  t_.window.SetText(ShownTextIndex("alarm"), "");
  EXPECT_FALSE(alarm->isVisible());
}

TEST_F(QtWindowTest, ButtonClicksReachTheSchedulerOnlyWhenIdle) {
  ASSERT_TRUE(fe_.Start(w_, kNoTicks, 0));
  w_.scheduler().EnterState(kStorePrices);
  Click(1);
  EXPECT_EQ(w_.scheduler().state(), kStorePrices) << "exit during a chain does nothing";
  EXPECT_EQ(Button(1)->text(), "Beenden");
  EXPECT_TRUE(Button(1)->isEnabled());
  Click(2);
  EXPECT_EQ(w_.scheduler().Snapshot().ManuellAnforderung, kNoManualRequest)
      << "no manual transfer during a chain";
  EXPECT_TRUE(Button(2)->isEnabled());

  w_.scheduler().EnterState(kIdle);
  Click(2);
  EXPECT_EQ(w_.scheduler().Snapshot().ManuellAnforderung, kManualRequested);
  EXPECT_FALSE(t_.window.button(2).enabled);
  EXPECT_FALSE(Button(2)->isEnabled()) << "the first click disables the button";
  w_.Haupt_Timer_Timer();
  EXPECT_EQ(w_.scheduler().Snapshot().ManuellAnforderung, kManualPricesDue);
  w_.scheduler().EnterState(kIdle);
  Click(2);
  EXPECT_EQ(w_.scheduler().Snapshot().ManuellAnforderung, kManualPricesDue)
      << "a second click starts no second transfer";
}

TEST_F(QtWindowTest, TheTimerRunsTheManualTransferAndEndsTheProgramAfterBeenden) {
  ASSERT_TRUE(fe_.Start(w_, 5, 0));
  Click(2);
  ASSERT_FALSE(Button(2)->isEnabled());
  EXPECT_TRUE(QTest::qWaitFor([] { return Button(2)->isEnabled(); }, kWaitMs))
      << "the scheduler enables the button again after the transfer";
  EXPECT_TRUE(procs_.Called("SOAPTransaction Stationdata https://grund <envelope/>"));
  EXPECT_TRUE(procs_.Called("SOAPTransaction Pricedata https://preis <envelope/>"));
  ASSERT_EQ(w_.scheduler().state(), kIdle);

  Click(1);
  EXPECT_EQ(Button(1)->text(), "Wird beendet!");
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(Button(i)->isEnabled()) << "button " << i;
  EXPECT_FALSE(fe_.finished()) << "the end comes with the next tick";
  EXPECT_TRUE(QTest::qWaitFor([this] { return fe_.finished(); }, kWaitMs));
  EXPECT_EQ(fe_.exit_code(), 0);
  EXPECT_TRUE(w_.scheduler().unloaded());
  EXPECT_TRUE(procs_.Called("DB_Trennen"));
  EXPECT_FALSE(t_.window.visible());
  EXPECT_FALSE(Find<QTimer>("Haupt_Timer")->isActive());
  EXPECT_FALSE(Find<QSystemTrayIcon>("Picture1")->isVisible()) << "the unload removes the icon";
}

TEST_F(QtWindowTest, TheTrayIconRestoresOnLeftClicksOnly) {
  ASSERT_TRUE(fe_.Start(w_, kNoTicks, 0));
  QWidget* window = Window();
  Click(0);
  EXPECT_FALSE(t_.window.visible());
  EXPECT_TRUE(window->isMinimized()) << "without a tray the window stays in the task bar";

  Tray(QSystemTrayIcon::Context);
  Tray(QSystemTrayIcon::MiddleClick);
  Tray(QSystemTrayIcon::Unknown);
  EXPECT_FALSE(t_.window.visible()) << "right and middle clicks do nothing";
  EXPECT_TRUE(window->isMinimized());

  Tray(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(t_.window.visible());
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isMinimized());

  Click(0);
  ASSERT_TRUE(window->isMinimized());
  Tray(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(t_.window.visible());
  EXPECT_FALSE(window->isMinimized());
  EXPECT_EQ(procs_.calls.size(), 6u) << "restoring does not run the start-up sequence again";
}

TEST_F(QtWindowTest, ClosingThroughTheTitleBarUnloadsAndEndsWhateverRuns) {
  ASSERT_TRUE(fe_.Start(w_, kNoTicks, 0));
  w_.scheduler().EnterState(kBuildPriceLines);
  Window()->close();
  EXPECT_TRUE(fe_.finished());
  EXPECT_EQ(fe_.exit_code(), 0);
  EXPECT_TRUE(w_.scheduler().unloaded());
  EXPECT_TRUE(procs_.Called("DB_Trennen"));
  EXPECT_FALSE(Find<QTimer>("Haupt_Timer")->isActive());
  EXPECT_FALSE(Find<QSystemTrayIcon>("Picture1")->isVisible());
}

TEST_F(QtWindowTest, AFailedStartSaysWhyAndEndsWithStatusOne) {
  procs_.connect_result = 0;
  auto answer = AnswerMessages();
  ::testing::internal::CaptureStderr();
  const bool started = fe_.Start(w_, kNoTicks, 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(started);
  EXPECT_EQ(messages_, std::vector<std::string>{"Keine Verbindung zur Datenbank möglich"});
  EXPECT_NE(err.find("Keine Verbindung zur Datenbank möglich"), std::string::npos)
      << "the text also goes to standard error: " << err;
  EXPECT_EQ(fe_.exit_code(), 1);
  EXPECT_TRUE(procs_.Called("DB_Trennen")) << "the start ends through the unload";
}

TEST_F(QtWindowTest, AConfigurationFaultEndsAtOnceWithoutUnloading) {
  procs_.configuration_fault = true;
  EXPECT_EQ(fe_.Run(w_, kNoTicks, 0), 1);
  EXPECT_FALSE(procs_.Called("XML_Init")) << "nothing after the fault runs";
  EXPECT_FALSE(procs_.Called("DB_Trennen")) << "no unload steps";
  EXPECT_FALSE(w_.scheduler().timer_enabled());
}

TEST_F(QtWindowTest, RunEndsAfterTheTickLimitThroughTheNormalShutdown) {
  EXPECT_EQ(fe_.Run(w_, 5, 3), 0);
  EXPECT_EQ(t_.window.button(1).caption, "Wird beendet!");
  EXPECT_TRUE(w_.scheduler().unloaded());
  EXPECT_TRUE(procs_.Called("DB_Trennen"));
}

}  // namespace
}  // namespace velunor
