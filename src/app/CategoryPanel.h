#pragma once

#include <QScrollArea>
#include <QString>
#include <QWidget>

class QToolButton;
class QVBoxLayout;

namespace quillora {

// A panel with a header that collapses it to the header alone and expands it again. Expanded,
// it is exactly ExpandedHeight() high, header included; its controls live on Surface().
class TCategoryPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeaderHeight = 24;

  TCategoryPanel(const QString& caption, int expandedHeight, QWidget* parent = nullptr);

  QWidget* Surface() const { return Surface_; }
  QToolButton* Header() const { return Header_; }
  QString Caption() const;
  int ExpandedHeight() const { return ExpandedHeight_; }
  bool Expanded() const { return Expanded_; }
  void SetExpanded(bool expanded);

 signals:
  void ExpandedChanged(bool expanded);

 private:
  QToolButton* Header_;
  QWidget* Surface_;
  int ExpandedHeight_;
  bool Expanded_ = true;
};

// A column of category panels, top to bottom, that scrolls vertically when they do not fit.
class TCategoryPanelGroup : public QScrollArea {
  Q_OBJECT

 public:
  explicit TCategoryPanelGroup(QWidget* parent = nullptr);

  // Appends the panel below the ones already there; the group becomes its parent.
  void AddPanel(TCategoryPanel* panel);

 private:
  QWidget* Column_;
  QVBoxLayout* Layout_;
};

}  // namespace quillora
