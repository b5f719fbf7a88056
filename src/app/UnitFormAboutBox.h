#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace quillora {

class TkAppInfo;

// The About box: the program's title, its version, its legal notice and its description from
// the executable's version resource, and a link to the project's web page. Shown modally by
// the main window and destroyed when it closes; every box reads the resource afresh.
class TFormAboutBox : public QDialog {
  Q_OBJECT

 public:
  // Throws the Exception of TkAppInfo when the running executable has no usable resource;
  // then no box exists.
  explicit TFormAboutBox(QWidget* owner);
  // The same, with the resource of the executable at `executable`.
  TFormAboutBox(QWidget* owner, const std::u16string& executable);

  // How the link is opened; by default with the desktop's handler. Its result (false when
  // nothing could open the address) is not looked at: the box shows nothing and stays open.
  std::function<bool(const std::u16string&)> OpenLink;

  void LabelUrlClick(QObject* sender);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void ShowInfo(const TkAppInfo& info);

  QFrame* Panel1 = nullptr;
  QLabel* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Copyright = nullptr;
  QLabel* Comments = nullptr;
  QPushButton* OKButton = nullptr;
  QLabel* LabelUrl = nullptr;
};

}  // namespace quillora
