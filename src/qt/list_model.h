// A Qt table model over one of the core's list views. The core model is the
// truth; this adapter shows it and writes the user's ticks and caption edits
// back. It learns of the core's changes only in Sync(), which compares the
// revision counters and tells the view about whole batches (rows appended,
// table cleared, cells changed), never row by row.
#pragma once
#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "app/tables.h"

namespace brim::qt {

struct ListColumn {
  std::string header;  // CP932
  int width;
  Qt::Alignment alignment;
};

class ListViewModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // editableCaption: the user may edit column 0 in place (the tally).
  ListViewModel(ShownTable& list, std::vector<ListColumn> columns, bool editableCaption,
                QObject* parent = nullptr);

  const std::vector<ListColumn>& Columns() const { return columns_; }
  // The listing: rows with marks carry a warning sign and a tooltip naming
  // them, rows the central directory alone describes are drawn apart.
  void ShowMarksOf(const EntryTable& entries) { entries_ = &entries; }
  // Draws every row grey: the rows belong to a file other than the one
  // selected now.
  void SetGreyed(bool greyed);

  // Brings the view in step with the core model.
  void Sync();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  // The decoration, tooltip, font and colour of a listing row's marks.
  QVariant MarkData(const QModelIndex& index, int role) const;
  // The cell text of row and column, made now.
  QString Cell(int row, int column) const;
  // Takes note of a change this adapter made itself, so Sync does not
  // repaint the whole table for it.
  void NoteOwnChange(uint64_t revisionBefore);

  ShownTable& list_;
  std::vector<ListColumn> columns_;
  bool editableCaption_;
  const EntryTable* entries_ = nullptr;
  bool greyed_ = false;
  // What the view has been told so far.
  int rows_ = 0;
  uint64_t revision_ = 0;
  uint64_t rowsRevision_ = 0;
  uint64_t clearRevision_ = 0;
};

}  // namespace brim::qt
