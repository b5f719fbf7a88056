#pragma once

#include <QApplication>

#include <deque>
#include <exception>
#include <functional>
#include <string>

namespace quillora {

class TFormMain;

// The application object. Whatever an event handler throws ends here instead of ending the
// program: the message is shown and the event loop goes on.
class TApplication : public QApplication {
  Q_OBJECT

 public:
  using ExceptionPresenter = std::function<void(const std::u16string& message)>;

  TApplication(int& argc, char** argv);
  ~TApplication() override;

  // The running application object, or null when there is none of this class.
  static TApplication* Instance();

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the message of the exception in flight (pass std::current_exception()). A thrown
  // value that is not an Exception is shown as an Exception with an empty message. Usable
  // without an application object of this class: the message then goes to standard error.
  static void HandleException(std::exception_ptr error);

  // Replaces the message box through which exceptions are shown (tests answer it this way).
  void SetExceptionPresenter(ExceptionPresenter presenter);

 private:
  void ShowException(const std::u16string& message);

  ExceptionPresenter Presenter_;
  // Exceptions raised while a message is on screen wait for it, instead of piling up boxes.
  std::deque<std::u16string> Pending_;
  bool Showing_ = false;
};

// Runs fn and hands anything it throws to TApplication::HandleException: for handlers that Qt
// calls through its signal machinery, which exceptions must not cross.
template <typename Fn>
void Guarded(Fn&& fn) noexcept {
  try {
    fn();
  } catch (...) {
    TApplication::HandleException(std::current_exception());
  }
}

// What a caller of RunApplication may do once the main window exists and before the event loop
// runs (a probe of the whole program does its checks from here).
using StartHook = std::function<void(TApplication& application, TFormMain& form)>;

// The program entry: the application object, its title, the main window, the event loop.
// Always returns 0; exceptions that escape start-up are shown first.
int RunApplication(int argc, char** argv, const StartHook& hook = {});

}  // namespace quillora
