// The widgets of the service window and how each control of the WindowModel
// shows on them. It only renders: clicks and the title bar's close leave it as
// signals, and whether the window is shown is the front end's decision.
// Object names are the controls' names ("Info", "Label1_6", "Command1_2", ...).
#pragma once

#include <QMainWindow>
#include <array>
#include <vector>

#include "service/common/window_model.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace velunor {

class StationGrid;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the widgets and shows the model's current state. `model` must
  // outlive the window.
  explicit MainWindow(const WindowModel& model);

  // Shows the model's new state of `control`; `index` as WindowObserver::Changed.
  // Visibility is not handled here.
  void Render(Control control, int index);
  void RenderAll();

  QPushButton* button(int index) const { return buttons_.at(static_cast<size_t>(index)); }

 signals:
  // The operator closed the window through its title bar.
  void closeRequested();
  // The window came back from being minimised by the window system.
  void restored();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QWidget* BuildVersions();
  QWidget* BuildCommunication();
  QWidget* BuildStations();
  QWidget* BuildButtons();
  // Makes `label` the one that shows the text named `text`.
  QLabel* Place(const char* text, QLabel* label);
  void RenderText(int index);
  void RenderLabel1(int index);
  void RenderList1();

  const WindowModel& model_;
  // The label of each of ShownTexts(), null for the caption (the title).
  std::vector<QLabel*> texts_;
  std::array<QLabel*, 8> label1_{};
  QListWidget* list1_ = nullptr;
  StationGrid* grid_ = nullptr;
  std::array<QPushButton*, 3> buttons_{};
};

}  // namespace velunor
