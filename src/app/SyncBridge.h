#pragma once

#include <QEvent>
#include <QMetaObject>
#include <QObject>

#include "platform/Exception.h"

namespace quillora {

// Ties the synchronisation service to the Qt event loop of the user-interface thread. While it
// exists, a request from another thread posts an event to it, and its handler serves the list;
// the list is also served whenever the thread's event loop is about to wait, and, because a
// modal dialog's loop delivers posted events too, while a dialog is open. It also makes an
// Exception that escaped a worker's body show as ShowThreadExceptionBox.
//
// Create it on the user-interface thread after the application object and before any worker
// starts, and let it outlive every worker; it records its thread as the user-interface thread.
class SyncBridge : public QObject {
 public:
  SyncBridge();
  ~SyncBridge() override;
  SyncBridge(const SyncBridge&) = delete;
  SyncBridge& operator=(const SyncBridge&) = delete;

 protected:
  bool event(QEvent* event) override;

 private:
  QMetaObject::Connection idle_;
};

// The report of an Exception that escaped a worker's body: a modal error box with no owner
// that names the exception's type and gives its message; returns when the user has closed it.
void ShowThreadExceptionBox(const Exception& e);

}  // namespace quillora
