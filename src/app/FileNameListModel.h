#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <functional>

namespace quillora {

// The file list's model holds no rows, only their count: the text of a row is asked of
// RowText whenever a view draws it, so the rows follow the queue without being copied.
class TFileNameListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using RowTextFunction = std::function<QString(int row)>;

  explicit TFileNameListModel(QObject* parent = nullptr);

  void SetRowTextFunction(RowTextFunction rowText);
  // Sets the row count and marks every remaining row as changed, since the queue's entries
  // move towards the front as files are taken from it.
  void SetRowCount(int count);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  RowTextFunction RowText_;
  int RowCount_ = 0;
};

}  // namespace quillora
