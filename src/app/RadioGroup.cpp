#include "app/RadioGroup.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillora {

TRadioGroup::TRadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), Buttons_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 2, 4, 2);
  layout->setSpacing(0);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    Buttons_->addButton(button, i);
    layout->addWidget(button, 1);
  }
}

int TRadioGroup::ItemIndex() const {
  return Buttons_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* button = Buttons_->button(index)) {
    button->setChecked(true);
    return;
  }
  // An exclusive group does not let its last checked button go; lift that for a moment.
  if (QAbstractButton* checked = Buttons_->checkedButton()) {
    Buttons_->setExclusive(false);
    checked->setChecked(false);
    Buttons_->setExclusive(true);
  }
}

QStringList TRadioGroup::Items() const {
  QStringList items;
  for (QAbstractButton* button : Buttons_->buttons()) {
    items << button->text();
  }
  return items;
}

QRadioButton* TRadioGroup::Button(int index) const {
  return qobject_cast<QRadioButton*>(Buttons_->button(index));
}

}  // namespace quillora
