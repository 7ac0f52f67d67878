#include "service/core/qt/qt_front_end.h"

#include <QApplication>
#include <QMessageBox>

#include <QPixmap>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include "shared/qt/german_dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "service/common/failure.h"
#include "service/core/qt/app_icon.h"
#include "service/core/qt/main_window.h"
#include "shared/display.h"
#include "shared/output_line.h"

namespace velunor {

namespace {

constexpr const char* kTrayTip = "Velunor";

// The mouse message each kind of tray activation stands for, in the window
// units (15 per pixel) in which the tray callback delivers it. The window's
// own handler decides which of them restore the window.
int TrayMouseMessage(QSystemTrayIcon::ActivationReason reason) {
  constexpr int kUnitsPerPixel = 15;
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return 0x201 * kUnitsPerPixel;  // left button down
    case QSystemTrayIcon::DoubleClick:
      return 0x203 * kUnitsPerPixel;  // left button double click
    case QSystemTrayIcon::Context:
      return 0x204 * kUnitsPerPixel;  // right button down
    case QSystemTrayIcon::MiddleClick:
      return 0x207 * kUnitsPerPixel;  // middle button down
    case QSystemTrayIcon::Unknown:
      break;
  }
  return 0x200 * kUnitsPerPixel;  // a move
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

bool QtDisplayAvailable() { return DisplayAvailable(); }

struct QtFrontEnd::Impl {
  Impl(int& argc, char** argv, WindowModel& window_model);

  // Runs an event handler of the window. ProgramEnd must not cross Qt's event
  // loop; it ends the program here, without the unload steps.
  template <class F>
  void Guarded(F&& handler) {
    try {
      handler();
    } catch (const ProgramEnd&) {
      Finish(1);
    }
  }
  void Tick();
  void ApplyVisibility();
  void Finish(int code);

  std::unique_ptr<QApplication> app;  // declared first: it must outlive the widgets
  WindowModel& model;
  std::unique_ptr<MainWindow> window;
  QTimer* timer = nullptr;          // owned by window
  QSystemTrayIcon* tray = nullptr;  // owned by window
  MarktTransp* markt = nullptr;     // set by Start
  long max_ticks = 0;
  long ticks = 0;
  std::string final_screenshot;
  bool exit_requested = false;
  bool in_tick = false;
  int modal_depth = 0;
  bool tray_added = false;
  bool finished = false;
  int exit_code = 0;
};

QtFrontEnd::Impl::Impl(int& argc, char** argv, WindowModel& window_model) : model(window_model) {
  if (QCoreApplication::instance() == nullptr) {
    app = std::make_unique<QApplication>(argc, argv);
    InstallGermanTranslations();
  }
  // The program ends through Quit alone: closing a message box while the
  // window sits in the tray must not end it.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setApplicationName(kTrayTip);
  window = std::make_unique<MainWindow>(model);

  timer = new QTimer(window.get());
  timer->setObjectName("Haupt_Timer");
  QObject::connect(timer, &QTimer::timeout, window.get(), [this] { Tick(); });

  tray = new QSystemTrayIcon(AppIcon(), window.get());
  tray->setObjectName("Picture1");
  tray->setToolTip(kTrayTip);
  QObject::connect(tray, &QSystemTrayIcon::activated, window.get(),
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     if (markt == nullptr || finished) return;
                     Guarded([&] { markt->Picture1_MouseMove(TrayMouseMessage(reason)); });
                   });

  for (int i = 0; i < 3; ++i) {
    QObject::connect(window->button(i), &QPushButton::clicked, window.get(), [this, i] {
      if (markt == nullptr || finished) return;
      Guarded([&] { markt->Command1_Click(i); });
    });
  }
  QObject::connect(window.get(), &MainWindow::closeRequested, window.get(), [this] {
    // Closing through the title bar unloads the window and ends the program,
    // whatever the scheduler is doing.
    if (finished) return;
    if (markt != nullptr && !markt->scheduler().unloaded()) Guarded([&] { markt->Form_Unload(); });
    Finish(0);
  });
  QObject::connect(window.get(), &MainWindow::restored, window.get(), [this] {
    // Brought back through the window system rather than the tray icon.
    if (!model.visible()) model.SetVisible(true);
  });
}

void QtFrontEnd::Impl::Tick() {
  // A tick never interleaves with another one (repaints process events) nor
  // runs behind a modal message, which the operator has to answer first.
  if (markt == nullptr || finished || in_tick || modal_depth > 0) return;
  in_tick = true;
  Guarded([&] {
    if (max_ticks > 0 && ticks >= max_ticks) exit_requested = true;
    if (exit_requested && !final_screenshot.empty() && markt->scheduler().IsIdle()) {
      const std::string file = std::exchange(final_screenshot, "");
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      if (!window->grab().save(Text(file), "PNG")) {
        std::fprintf(stderr, "velunor: cannot write %s\n", file.c_str());
        markt->Form_Unload();
        Finish(1);
        return;
      }
    }
    if (exit_requested) markt->RequestShutdown();
    markt->Haupt_Timer_Timer();
  });
  ++ticks;
  in_tick = false;
}

void QtFrontEnd::Impl::ApplyVisibility() {
  if (model.visible()) {
    if (!window->isVisible()) window->show();
  } else if (tray_added && QSystemTrayIcon::isSystemTrayAvailable()) {
    window->hide();
  } else {
    // Without a tray icon nothing could bring a hidden window back, so it
    // stays reachable in the task bar.
    window->showMinimized();
  }
}

void QtFrontEnd::Impl::Finish(int code) {
  if (finished) return;
  finished = true;
  exit_code = code;
  timer->stop();
  QCoreApplication::exit(code);
}

QtFrontEnd::QtFrontEnd(int& argc, char** argv, WindowModel& model)
    : impl_(std::make_unique<Impl>(argc, argv, model)) {
  model.AddObserver(this);
}

QtFrontEnd::~QtFrontEnd() { impl_->model.RemoveObserver(this); }

int QtFrontEnd::Run(MarktTransp& window, int tick_ms, long max_ticks) {
  if (!Start(window, tick_ms, max_ticks)) return impl_->exit_code;
  QCoreApplication::exec();
  if (!impl_->finished) {
    // The loop was ended from outside (the session ends): unload all the same.
    if (!window.scheduler().unloaded()) impl_->Guarded([&] { window.Form_Unload(); });
    impl_->Finish(0);
  }
  return impl_->exit_code;
}

bool QtFrontEnd::Start(MarktTransp& window, int tick_ms, long max_ticks) {
  Impl& d = *impl_;
  d.markt = &window;
  d.max_ticks = max_ticks;
  d.ticks = 0;
  d.exit_requested = false;
  d.timer->setInterval(std::max(1, tick_ms));
  d.Guarded([&] { window.Form_Load(); });
  if (d.finished) return false;
  if (d.model.visible()) d.window->show();
  ProcessEvents();  // the window is on the screen before the start-up work begins
  d.Guarded([&] { window.Form_Activate(); });
  return !d.finished;
}

void QtFrontEnd::SetFinalScreenshot(const std::string& png_path) {
  impl_->final_screenshot = png_path;
}

bool QtFrontEnd::finished() const { return impl_->finished; }
int QtFrontEnd::exit_code() const { return impl_->exit_code; }

bool QtFrontEnd::SaveScreenshot(const std::string& png_path) {
  ProcessEvents();
  return impl_->window->grab().save(Text(png_path), "PNG");
}

void QtFrontEnd::MessageBox(const std::string& text, const std::string& title) {
  // Also on standard error, so that an aborted start always says why.
  PrintLine(stderr, "velunor: " + text);
  std::fflush(stderr);
  MainWindow* window = impl_->window.get();
  QWidget* parent = window->isVisible() && !window->isMinimized() ? window : nullptr;
  QMessageBox box(QMessageBox::Warning, Text(title), Text(text), QMessageBox::Ok, parent);
  box.setObjectName("MessageBox");
  // The text may hold names and paths from the database: never markup.
  box.setTextFormat(Qt::PlainText);
  GermanButtons(box);
  ++impl_->modal_depth;
  box.exec();
  --impl_->modal_depth;
}

void QtFrontEnd::Repaint() { ProcessEvents(); }

void QtFrontEnd::AddTrayIcon() {
  // Shown even while the desktop has no tray (yet): Qt docks it as soon as a
  // tray appears. Whether there is one is asked when the window is hidden.
  impl_->tray_added = true;
  impl_->tray->show();
}

void QtFrontEnd::RemoveTrayIcon() {
  impl_->tray->hide();
  impl_->tray_added = false;
}

void QtFrontEnd::ShowWindow() {
  MainWindow* window = impl_->window.get();
  window->showNormal();
  window->raise();
  window->activateWindow();
}

void QtFrontEnd::ProcessEvents() {
  // Paint and window-system events only: a click must not reach a handler in
  // the middle of a tick or of the start-up sequence.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtFrontEnd::StartTimer() { impl_->timer->start(); }

void QtFrontEnd::Quit(int exit_code) { impl_->Finish(exit_code); }

void QtFrontEnd::Changed(Control control, int index) {
  if (control == Control::kVisibility) {
    impl_->ApplyVisibility();
  } else {
    impl_->window->Render(control, index);
  }
}

}  // namespace velunor
