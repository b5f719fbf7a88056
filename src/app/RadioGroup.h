#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace quillora {

// A framed group of radio buttons under one title, of which exactly one is chosen, addressed by
// its index. Tab reaches the group once; the arrow keys choose among its items.
class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  TRadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);

  // The chosen item's index, -1 when none is chosen.
  int ItemIndex() const;
  // Chooses the item at index; an index outside the items chooses none.
  void SetItemIndex(int index);
  QStringList Items() const;
  QRadioButton* Button(int index) const;

 private:
  QButtonGroup* Buttons_;
};

}  // namespace quillora
