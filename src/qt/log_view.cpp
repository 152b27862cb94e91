#include "qt/log_view.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "qt/look.h"

namespace brim::qt {

LogView::LogView(Memo& memo, QWidget* parent) : QPlainTextEdit(parent), memo_(memo) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Drops go to the main window, not into the text.
  setAcceptDrops(false);
  viewport()->setAcceptDrops(false);
  setFont(LogFont());
  memo_.TakeReplacedSpan();
  clearRevision_ = memo_.ClearRevision() + 1;  // forces the first sync to fill
  Sync();
}

QSize LogView::sizeHint() const { return {QPlainTextEdit::sizeHint().width(), 54}; }

void LogView::Sync() {
  if (memo_.Revision() == revision_) return;
  QTextDocument* doc = document();
  if (memo_.ClearRevision() != clearRevision_) {
    doc->clear();
    shown_ = 0;
    memo_.TakeReplacedSpan();  // everything is rewritten below anyway
    clearRevision_ = memo_.ClearRevision();
  }

  const size_t count = memo_.Count();
  QTextCursor cursor(doc);
  cursor.beginEditBlock();

  auto [low, high] = memo_.TakeReplacedSpan();
  for (size_t i = low; i <= high && i < shown_; ++i) {
    QTextBlock block = doc->findBlockByNumber(static_cast<int>(i));
    if (!block.isValid()) break;
    const QString text = DisplayLine(memo_.Line(i));
    if (block.text() == text) continue;
    cursor.setPosition(block.position());
    cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    cursor.insertText(text);
  }

  const bool appending = count > shown_;
  if (appending) {
    cursor.movePosition(QTextCursor::End);
    for (size_t i = shown_; i < count; ++i) {
      // The empty document already holds the first (empty) block.
      if (i > 0) cursor.insertBlock();
      cursor.insertText(DisplayLine(memo_.Line(i)));
    }
    shown_ = count;
  }
  cursor.endEditBlock();
  revision_ = memo_.Revision();

  // Like the pane it stands for, an append scrolls the new line into view.
  if (appending) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace brim::qt
