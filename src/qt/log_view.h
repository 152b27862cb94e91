// Memo1 on screen: a read-only QPlainTextEdit whose blocks mirror the core's
// log lines one to one (a wrapped line stays one block). Sync() patches the
// widget with what changed since the last sync: a clear, lines replaced in
// place (the progress line), lines appended.
#pragma once
#include <QPlainTextEdit>

#include "app/controls.h"

namespace brim::qt {

class LogView : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit LogView(Memo& memo, QWidget* parent = nullptr);

  void Sync();
  // Lines the widget shows (the same as the core's count after a sync).
  size_t ShownLines() const { return shown_; }

  // The pane starts 54 pixels high; the splitter takes this as its start.
  QSize sizeHint() const override;

 private:
  Memo& memo_;
  size_t shown_ = 0;
  uint64_t revision_ = 0;
  uint64_t clearRevision_ = 0;
};

}  // namespace brim::qt
