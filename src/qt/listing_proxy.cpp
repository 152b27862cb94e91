#include "qt/listing_proxy.h"

#include <algorithm>
#include <cstdlib>

#include "qt/list_model.h"

namespace brim::qt {

namespace {

// The listing's columns, as the adapter numbers them.
enum ShownColumn { kName, kRatio, kCompress, kOriginal, kFolder };

// The ratio cell's number (" 4%", "100.0%"); an empty cell sorts first.
double RatioKey(const EntryTable& entries, int row) {
  const std::string text = entries.Text(static_cast<size_t>(row), kRatio);
  return text.empty() ? -1 : std::strtod(text.c_str(), nullptr);
}

// The extension key of a shown name, as the tally makes it: after the last
// "." behind the last folder separator, lowered; empty without one.
QString ExtensionKey(const QString& name) {
  const qsizetype dot = name.lastIndexOf('.');
  if (dot < 0 || dot < name.lastIndexOf('\\') || dot < name.lastIndexOf('/')) return {};
  return name.mid(dot + 1).toLower();
}

}  // namespace

ListingProxy::ListingProxy(const EntryTable& entries, ListViewModel& source, QObject* parent)
    : QAbstractProxyModel(parent), entries_(entries), source_(source) {
  QAbstractProxyModel::setSourceModel(&source);
  connect(&source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
  connect(&source, &QAbstractItemModel::modelReset, this, &ListingProxy::SourceReset);
  connect(&source, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { SourceRowsInserted(first, last); });
  connect(&source, &QAbstractItemModel::dataChanged, this, &ListingProxy::SourceDataChanged);
  connect(&source, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
  Rebuild();
}

const QString& ListingProxy::NameOf(int row) {
  // Made once per listing for every row, so sorting and each filter change
  // compare ready texts.
  while (names_.size() <= static_cast<size_t>(row)) {
    const int next = static_cast<int>(names_.size());
    names_.push_back(source_.data(source_.index(next, kName), Qt::DisplayRole).toString());
  }
  return names_[static_cast<size_t>(row)];
}

bool ListingProxy::Accepts(int row) {
  if (!byExtension_ && filter_.isEmpty()) return true;
  const QString& name = NameOf(row);
  if (byExtension_) return ExtensionKey(name) == filter_;
  return name.contains(filter_, Qt::CaseInsensitive);
}

void ListingProxy::Arrange(std::vector<int>& rows) {
  unsorted_ = false;
  if (sortColumn_ < 0) return;  // the rows come in archive order
  const bool down = order_ == Qt::DescendingOrder;
  // Ties keep the archive's order, in both directions.
  const auto by = [&rows, down](const auto& key) {
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return down ? key(b, a) : key(a, b); });
  };
  switch (sortColumn_) {
    case kName:
      by([this](int a, int b) { return NameOf(a).compare(NameOf(b), Qt::CaseInsensitive) < 0; });
      break;
    case kRatio: {
      std::vector<double> key(static_cast<size_t>(source_.rowCount()));
      for (int r : rows) key[static_cast<size_t>(r)] = RatioKey(entries_, r);
      by([&key](int a, int b) { return key[static_cast<size_t>(a)] < key[static_cast<size_t>(b)]; });
      break;
    }
    case kCompress:
      by([this](int a, int b) {
        return entries_.Value(static_cast<size_t>(a), kColSize) < entries_.Value(static_cast<size_t>(b), kColSize);
      });
      break;
    case kOriginal:
      by([this](int a, int b) {
        return entries_.Original(static_cast<size_t>(a)) < entries_.Original(static_cast<size_t>(b));
      });
      break;
    case kFolder: {
      std::vector<QString> key(static_cast<size_t>(source_.rowCount()));
      for (int r : rows) key[static_cast<size_t>(r)] = source_.data(source_.index(r, kFolder), Qt::DisplayRole).toString();
      by([&key](int a, int b) {
        return key[static_cast<size_t>(a)].compare(key[static_cast<size_t>(b)], Qt::CaseInsensitive) < 0;
      });
      break;
    }
    default:
      break;
  }
}

void ListingProxy::Rebuild() {
  const int count = source_.rowCount();
  if (names_.size() > static_cast<size_t>(count)) names_.clear();
  shown_.clear();
  position_.assign(static_cast<size_t>(count), -1);
  for (int r = 0; r < count; ++r) {
    if (Accepts(r)) shown_.push_back(r);
  }
  Arrange(shown_);
  for (size_t i = 0; i < shown_.size(); ++i) position_[static_cast<size_t>(shown_[i])] = static_cast<int>(i);
}

void ListingProxy::SortBy(int column, Qt::SortOrder order) {
  if (column == sortColumn_ && order == order_ && !unsorted_) return;
  sortColumn_ = column < 0 || column >= columnCount() ? -1 : column;
  order_ = order;
  // A new order of the same rows: the selection and current row follow.
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<QModelIndex> sources;
  sources.reserve(static_cast<size_t>(before.size()));
  for (const QModelIndex& i : before) sources.push_back(mapToSource(i));
  Rebuild();
  QModelIndexList after;
  for (const QModelIndex& s : sources) after << mapFromSource(s);
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListingProxy::SortAgain() {
  if (unsorted_) SortBy(sortColumn_, order_);
}

void ListingProxy::SetFilter(const QString& text) {
  const QString t = text.trimmed();
  QString filter;
  bool byExtension = false;
  if (t.startsWith(QStringLiteral("*."))) {
    filter = t.mid(2).toLower();
    byExtension = true;
  } else if (t.startsWith('.')) {
    filter = t.mid(1).toLower();
    byExtension = true;
  } else if (t != QStringLiteral("*")) {
    filter = t;
  }
  if (filter == filter_ && byExtension == byExtension_) return;
  beginResetModel();
  filter_ = filter;
  byExtension_ = byExtension;
  Rebuild();
  endResetModel();
}

void ListingProxy::SourceReset() {
  names_.clear();
  Rebuild();
  endResetModel();
}

void ListingProxy::SourceRowsInserted(int first, int last) {
  position_.resize(static_cast<size_t>(source_.rowCount()), -1);
  std::vector<int> added;
  for (int r = first; r <= last; ++r) {
    if (Accepts(r)) added.push_back(r);
  }
  if (added.empty()) return;
  // Appended rows go at the end, also while sorted: a listing that grows
  // under an analysis is sorted when the command has returned.
  if (sortColumn_ >= 0) unsorted_ = true;
  const int at = static_cast<int>(shown_.size());
  beginInsertRows({}, at, at + static_cast<int>(added.size()) - 1);
  for (int r : added) {
    position_[static_cast<size_t>(r)] = static_cast<int>(shown_.size());
    shown_.push_back(r);
  }
  endInsertRows();
}

void ListingProxy::SourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                     const QList<int>& roles) {
  if (shown_.empty()) return;
  const bool oneRow = topLeft.row() == bottomRight.row();
  if (oneRow) {
    const QModelIndex at = mapFromSource(topLeft);
    if (!at.isValid()) return;
    emit dataChanged(index(at.row(), topLeft.column()), index(at.row(), bottomRight.column()), roles);
    return;
  }
  // A batch (ticks of every row, a caption copy shown): the view repaints
  // what it shows.
  emit dataChanged(index(0, topLeft.column()), index(static_cast<int>(shown_.size()) - 1, bottomRight.column()),
                   roles);
}

QModelIndex ListingProxy::mapToSource(const QModelIndex& proxyIndex) const {
  if (!proxyIndex.isValid() || proxyIndex.row() >= static_cast<int>(shown_.size())) return {};
  return source_.index(shown_[static_cast<size_t>(proxyIndex.row())], proxyIndex.column());
}

QModelIndex ListingProxy::mapFromSource(const QModelIndex& sourceIndex) const {
  if (!sourceIndex.isValid() || sourceIndex.row() >= static_cast<int>(position_.size())) return {};
  const int at = position_[static_cast<size_t>(sourceIndex.row())];
  return at < 0 ? QModelIndex() : createIndex(at, sourceIndex.column());
}

QModelIndex ListingProxy::index(int row, int column, const QModelIndex& parent) const {
  return hasIndex(row, column, parent) ? createIndex(row, column) : QModelIndex();
}

QModelIndex ListingProxy::parent(const QModelIndex&) const { return {}; }

int ListingProxy::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int ListingProxy::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : source_.columnCount();
}

QVariant ListingProxy::headerData(int section, Qt::Orientation orientation, int role) const {
  // Columns are never rearranged: the headers stay when no row is shown.
  return source_.headerData(section, orientation, role);
}

}  // namespace brim::qt
