#include "app/Application.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <utility>

#include "app/UnitFormMain.h"
#include "platform/Exception.h"
#include "platform/Text.h"

namespace quillora {
namespace {

std::u16string MessageOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(std::move(error));
  } catch (const Exception& e) {
    return e.Message();
  } catch (...) {
    // Not one of ours: shown as an Exception without a message.
    return Exception(std::u16string()).Message();
  }
}

void ShowInBox(const std::u16string& message) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                  QString::fromStdU16String(message), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

TApplication::~TApplication() = default;

TApplication* TApplication::Instance() {
  return qobject_cast<TApplication*>(instance());
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    HandleException(std::current_exception());
    return false;
  }
}

void TApplication::HandleException(std::exception_ptr error) {
  if (!error) {
    return;
  }
  const std::u16string message = MessageOf(std::move(error));
  if (TApplication* application = Instance()) {
    application->ShowException(message);
  } else {
    std::fprintf(stderr, "%s\n", ToUtf8(message).c_str());
  }
}

void TApplication::SetExceptionPresenter(ExceptionPresenter presenter) {
  Presenter_ = std::move(presenter);
}

void TApplication::ShowException(const std::u16string& message) {
  Pending_.push_back(message);
  if (Showing_) {
    return;
  }
  Showing_ = true;
  while (!Pending_.empty()) {
    const std::u16string next = std::move(Pending_.front());
    Pending_.pop_front();
    try {
      if (Presenter_) {
        Presenter_(next);
      } else {
        ShowInBox(next);
      }
    } catch (...) {
      // Showing the report failed too: it still must not end the program.
      std::fprintf(stderr, "%s\n", ToUtf8(next).c_str());
    }
  }
  Showing_ = false;
}

int RunApplication(int argc, char** argv, const StartHook& hook) {
  std::unique_ptr<TApplication> application;
  try {
    application = std::make_unique<TApplication>(argc, argv);
  } catch (...) {
    TApplication::HandleException(std::current_exception());
    return 0;
  }
  try {
    // The main window is a top-level window of its own and so owns its taskbar entry; the
    // title names the program in the taskbar and in message boxes.
    QApplication::setApplicationName(QStringLiteral("Quillora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillora"));
    TFormMain form;
    form.show();
    if (hook) {
      hook(*application, form);
    }
    application->exec();
  } catch (...) {
    TApplication::HandleException(std::current_exception());
  }
  return 0;
}

}  // namespace quillora
