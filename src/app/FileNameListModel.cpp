#include "app/FileNameListModel.h"

#include <utility>

namespace quillora {

TFileNameListModel::TFileNameListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TFileNameListModel::SetRowTextFunction(RowTextFunction rowText) {
  RowText_ = std::move(rowText);
}

void TFileNameListModel::SetRowCount(int count) {
  if (count < 0) {
    count = 0;
  }
  // Rows are added or removed at the end, so a view keeps its scroll position and selection.
  if (count > RowCount_) {
    beginInsertRows(QModelIndex(), RowCount_, count - 1);
    RowCount_ = count;
    endInsertRows();
  } else if (count < RowCount_) {
    beginRemoveRows(QModelIndex(), count, RowCount_ - 1);
    RowCount_ = count;
    endRemoveRows();
  }
  if (RowCount_ > 0) {
    emit dataChanged(index(0, 0), index(RowCount_ - 1, 0), {Qt::DisplayRole});
  }
}

int TFileNameListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RowCount_;
}

int TFileNameListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1;
}

QVariant TFileNameListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.column() != 0 ||
      index.row() >= RowCount_) {
    return QVariant();
  }
  return RowText_ ? RowText_(index.row()) : QString();
}

QVariant TFileNameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section == 0) {
    return QStringLiteral("ファイル名");
  }
  return QVariant();
}

Qt::ItemFlags TFileNameListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) {
    return Qt::NoItemFlags;
  }
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

}  // namespace quillora
