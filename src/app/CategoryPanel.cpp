#include "app/CategoryPanel.h"

#include <QFrame>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillora {

TCategoryPanel::TCategoryPanel(const QString& caption, int expandedHeight, QWidget* parent)
    : QWidget(parent),
      Header_(new QToolButton(this)),
      Surface_(new QWidget(this)),
      ExpandedHeight_(expandedHeight) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Header_->setObjectName(QStringLiteral("Header"));
  Header_->setText(caption);
  Header_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  Header_->setArrowType(Qt::DownArrow);
  Header_->setFixedHeight(kHeaderHeight);
  Header_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  Header_->setCheckable(true);
  Header_->setChecked(true);
  Header_->setFocusPolicy(Qt::TabFocus);
  Header_->setAccessibleName(caption);
  connect(Header_, &QToolButton::toggled, this, &TCategoryPanel::SetExpanded);

  Surface_->setObjectName(QStringLiteral("Surface"));
  layout->addWidget(Header_);
  layout->addWidget(Surface_, 1);

  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  setFixedHeight(ExpandedHeight_);
}

QString TCategoryPanel::Caption() const {
  return Header_->text();
}

void TCategoryPanel::SetExpanded(bool expanded) {
  if (expanded == Expanded_) {
    return;
  }
  Expanded_ = expanded;
  Header_->setChecked(expanded);
  Header_->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
  Surface_->setVisible(expanded);
  setFixedHeight(expanded ? ExpandedHeight_ : kHeaderHeight);
  emit ExpandedChanged(expanded);
}

TCategoryPanelGroup::TCategoryPanelGroup(QWidget* parent)
    : QScrollArea(parent), Column_(new QWidget), Layout_(new QVBoxLayout(Column_)) {
  Layout_->setContentsMargins(0, 0, 0, 0);
  Layout_->setSpacing(0);
  Layout_->addStretch(1);
  setWidget(Column_);
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFrameShape(QFrame::NoFrame);
  // Tab goes to the panels' controls, which the column scrolls into view; the column itself
  // is no stop.
  setFocusPolicy(Qt::NoFocus);
}

void TCategoryPanelGroup::AddPanel(TCategoryPanel* panel) {
  // Before the stretch, which keeps the panels at the top when they leave space below.
  Layout_->insertWidget(Layout_->count() - 1, panel);
}

}  // namespace quillora
