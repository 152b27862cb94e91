#include "qt/about_window.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

#include "form/Unit2.h"
#include "base/cp932.h"
#include "base/ui_texts.h"
#include "qt/look.h"

namespace brim::qt {

void LinkLabel::mousePressEvent(QMouseEvent* e) {
  pressed_ = e->button() == Qt::LeftButton;
  QLabel::mousePressEvent(e);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* e) {
  const bool click = pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(e);
  if (click) emit clicked();
}

AboutWindow::AboutWindow(Desktop& desktop, QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      desktop_(desktop),
      mainWindow_(mainWindow) {
  setObjectName("Form2");
  setWindowTitle(Display(TForm2::Caption()));
  setWindowIcon(AboutIcon());
  setFont(WindowFont());
  setFixedSize(TForm2::kClientWidth, TForm2::kClientHeight);
  // Closing hides it; the program ends with the main window alone.
  setAttribute(Qt::WA_DeleteOnClose, false);
  setAttribute(Qt::WA_QuitOnClose, false);

  auto* label1 = new QLabel(Display(TForm2::Version()), this);
  label1->setObjectName("Label1");
  label1->setFont(WindowFont(16));
  label1->move(TForm2::kLabel1X, TForm2::kLabel1Y);
  label1->adjustSize();

  auto* label2 = new QLabel(Display(TForm2::Notice()), this);
  label2->setObjectName("Label2");
  label2->move(TForm2::kLabel2X, TForm2::kLabel2Y);
  label2->adjustSize();

  label3_ = new LinkLabel(this);
  label3_->setObjectName("Label3");
  label3_->move(TForm2::kLabel3X, TForm2::kLabel3Y);
  connect(label3_, &LinkLabel::clicked, this, [this] {
    TForm2::Label3Click(desktop_, Utf8ToCp932(label3_->text().toStdString()));
  });
  // Below the title, left of the link: nothing else is there.
  auto* close = new QPushButton(Display(Ui().buttonClose), this);
  close->setObjectName("CloseButton");
  close->setGeometry(TForm2::kLabel1X, 58, 75, 25);
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  FormCreate();
}

void AboutWindow::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(e);
}

void AboutWindow::FormCreate() {
  label3_->setText(Display(TForm2::Link()));
  label3_->setTextFormat(Qt::PlainText);
  label3_->setAutoFillBackground(true);
  QPalette p = label3_->palette();
  p.setColor(QPalette::Window, CaptionTextColour(*this));
  p.setColor(QPalette::WindowText, QColor(TForm2::kLinkRed, TForm2::kLinkGreen, TForm2::kLinkBlue));
  label3_->setPalette(p);
  label3_->setCursor(Qt::PointingHandCursor);
  label3_->adjustSize();
}

void AboutWindow::ShowOnce() {
  if (isVisible()) return;
  // Placed after show(): only then is the frame known that centring needs.
  show();
  if (mainWindow_) {
    QRect mine = frameGeometry();
    mine.moveCenter(mainWindow_->frameGeometry().center());
    move(mine.topLeft());
  }
}

}  // namespace brim::qt
