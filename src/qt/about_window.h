// Form2, the About window: modeless, created hidden at start-up and shown
// again and again, never a second one.
#pragma once
#include <QLabel>
#include <QWidget>

#include "app/desktop.h"

namespace brim::qt {

// A label that reports a click (a press and a release inside it).
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  bool pressed_ = false;
};

class AboutWindow : public QWidget {
  Q_OBJECT
 public:
  AboutWindow(Desktop& desktop, QWidget* mainWindow);

  // About1Click: shows the window centred over the main window; a window
  // already visible is neither moved nor raised.
  void ShowOnce();

 protected:
  // Esc closes the window, as the close button does.
  void keyPressEvent(QKeyEvent* e) override;

 private:
  // TForm2's FormCreate: the link's final look.
  void FormCreate();

  Desktop& desktop_;
  QWidget* mainWindow_;
  LinkLabel* label3_;
};

}  // namespace brim::qt
