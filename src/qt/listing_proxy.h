// The listing as the user arranges it: sorted by a column and narrowed by a
// filter, over the listing's adapter. Only the view's order changes: the
// core's rows stay in archive order, and ticks and edits go through to the
// row they belong to, so every command sees the archive's own rows.
#pragma once
#include <QAbstractProxyModel>
#include <QString>
#include <vector>

#include "app/tables.h"

namespace brim::qt {

class ListViewModel;

class ListingProxy : public QAbstractProxyModel {
  Q_OBJECT
 public:
  ListingProxy(const EntryTable& entries, ListViewModel& source, QObject* parent = nullptr);

  // column -1: the archive's order.
  void SortBy(int column, Qt::SortOrder order);
  int SortColumn() const { return sortColumn_; }
  Qt::SortOrder Order() const { return order_; }
  // A part of the name ("read"), or an extension ("*.exe", ".exe"); case is
  // ignored. Empty: every row.
  void SetFilter(const QString& text);
  bool Filtered() const { return !filter_.isEmpty(); }
  // Rows appended while sorted wait at the end until this (a command's end).
  void SortAgain();

  // The archive rows shown, in view order.
  const std::vector<int>& ShownRows() const { return shown_; }

  QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
  QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void Rebuild();
  void Arrange(std::vector<int>& rows);
  bool Accepts(int row);
  const QString& NameOf(int row);
  void SourceReset();
  void SourceRowsInserted(int first, int last);
  void SourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles);

  const EntryTable& entries_;
  ListViewModel& source_;
  int sortColumn_ = -1;
  Qt::SortOrder order_ = Qt::AscendingOrder;
  QString filter_;  // a part of the name, or an extension key (lowered)
  bool byExtension_ = false;
  bool unsorted_ = false;  // rows appended since the last sort
  std::vector<int> shown_;     // view row -> archive row
  std::vector<int> position_;  // archive row -> view row, -1 when filtered out
  std::vector<QString> names_;  // shown names, made on first need
};

}  // namespace brim::qt
