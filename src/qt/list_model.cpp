#include "qt/list_model.h"

#include <limits>

#include <QApplication>
#include <QStyle>

#include "base/cp932.h"
#include "qt/look.h"
#include "qt/row_marks.h"

namespace brim::qt {

ListViewModel::ListViewModel(ShownTable& list, std::vector<ListColumn> columns, bool editableCaption,
                             QObject* parent)
    : QAbstractTableModel(parent), list_(list), columns_(std::move(columns)), editableCaption_(editableCaption) {
  rows_ = static_cast<int>(std::min<size_t>(list_.Count(), std::numeric_limits<int>::max()));
  revision_ = list_.Revision();
  rowsRevision_ = list_.RowsRevision();
  clearRevision_ = list_.ClearRevision();
}

void ListViewModel::Sync() {
  if (list_.Revision() == revision_) return;
  const int count = static_cast<int>(std::min<size_t>(list_.Count(), std::numeric_limits<int>::max()));
  const uint64_t added = list_.RowsRevision() - rowsRevision_;
  const uint64_t changes = list_.Revision() - revision_;

  if (list_.ClearRevision() != clearRevision_ || count < rows_) {
    beginResetModel();
    rows_ = count;
    endResetModel();
  } else {
    // Each Add bumps both counters once; anything beyond that touched cells
    // of rows the view already shows.
    const int oldRows = rows_;
    if (count > rows_) {
      beginInsertRows({}, rows_, count - 1);
      rows_ = count;
      endInsertRows();
    }
    if (changes > added && oldRows > 0) {
      emit dataChanged(index(0, 0), index(oldRows - 1, columnCount() - 1));
    }
  }
  revision_ = list_.Revision();
  rowsRevision_ = list_.RowsRevision();
  clearRevision_ = list_.ClearRevision();
}

int ListViewModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ListViewModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QString ListViewModel::Cell(int row, int column) const {
  // The view may ask before Sync has told it that rows went away.
  if (row < 0 || static_cast<size_t>(row) >= list_.Count()) return {};
  const std::string text = list_.Text(static_cast<size_t>(row), static_cast<size_t>(column));
  const NameEncoding encoding = list_.Encoding(static_cast<size_t>(row));
  if (encoding == NameEncoding::Cp932) return Display(text);
  return QString::fromStdString(NameToUtf8(text, encoding));
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
      return Cell(index.row(), index.column());
    }
    case Qt::CheckStateRole:
      if (index.column() != 0 || static_cast<size_t>(index.row()) >= list_.Count()) return {};
      return list_.Checked(static_cast<size_t>(index.row())) ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
      return static_cast<int>(columns_[index.column()].alignment | Qt::AlignVCenter);
    default:
      return MarkData(index, role);
  }
}

void ListViewModel::SetGreyed(bool greyed) {
  if (greyed == greyed_) return;
  greyed_ = greyed;
  if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1), {Qt::ForegroundRole});
}

QVariant ListViewModel::MarkData(const QModelIndex& index, int role) const {
  if (greyed_ && role == Qt::ForegroundRole) return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
  if (!entries_ || static_cast<size_t>(index.row()) >= entries_->Count()) return {};
  const size_t row = static_cast<size_t>(index.row());
  switch (role) {
    case Qt::DecorationRole:
      if (index.column() != 0 || entries_->Marks(row) == 0) return {};
      return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    case Qt::ToolTipRole: {
      const QString tip = RowMarksToolTip(*entries_, row);
      return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::FontRole: {
      if (!DrawnApart(*entries_, row)) return {};
      QFont italic = WindowFont();
      italic.setItalic(true);
      return italic;
    }
    case Qt::ForegroundRole:
      if (!DrawnApart(*entries_, row)) return {};
      return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    default:
      return {};
  }
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole) return Display(columns_[section].header);
  if (role == Qt::TextAlignmentRole) return static_cast<int>(columns_[section].alignment | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags ListViewModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == 0) {
    f |= Qt::ItemIsUserCheckable;
    if (editableCaption_) f |= Qt::ItemIsEditable;
  }
  return f;
}

bool ListViewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != 0 || index.row() >= rows_ ||
      static_cast<size_t>(index.row()) >= list_.Count()) {
    return false;
  }
  const size_t row = static_cast<size_t>(index.row());
  const uint64_t before = list_.Revision();
  if (role == Qt::CheckStateRole) {
    list_.SetChecked(row, static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked);
  } else if (role == Qt::EditRole && editableCaption_) {
    const QString text = value.toString();
    // An editor closed without a change must not rewrite the caption: bytes
    // that are not CP932 would not survive the round trip through Unicode.
    if (text == Cell(index.row(), 0)) return true;
    list_.SetCaption(row, Utf8ToCp932(text.toStdString()));
  } else {
    return false;
  }
  NoteOwnChange(before);
  emit dataChanged(index, index, {role == Qt::CheckStateRole ? Qt::CheckStateRole : Qt::DisplayRole});
  return true;
}

void ListViewModel::NoteOwnChange(uint64_t revisionBefore) {
  if (revisionBefore == revision_) revision_ = list_.Revision();
}

}  // namespace brim::qt
