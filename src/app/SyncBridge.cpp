#include "app/SyncBridge.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QString>

#include "job/TJvThread.h"
#include "platform/Synchronize.h"
#include "platform/Text.h"
#include "platform/Thread.h"

namespace quillora {
namespace {

QEvent::Type ServeEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

QString ToQString(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SyncBridge::SyncBridge() {
  RecordUserInterfaceThread();
  // The hook runs on the requesting thread; posting an event is safe from any thread, and the
  // service no longer calls the hook once the destructor has replaced it.
  SetWakeUserInterfaceHook(
      [this] { QCoreApplication::postEvent(this, new QEvent(ServeEventType())); });
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread())) {
    idle_ = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                    [] { CheckSynchronize(); });
  }
  SetThreadExceptionReport(ShowThreadExceptionBox);
}

SyncBridge::~SyncBridge() {
  SetThreadExceptionReport(nullptr);
  disconnect(idle_);
  SetWakeUserInterfaceHook(nullptr);
}

bool SyncBridge::event(QEvent* event) {
  if (event->type() == ServeEventType()) {
    CheckSynchronize();
    return true;
  }
  return QObject::event(event);
}

void ShowThreadExceptionBox(const Exception& e) {
  const std::u16string text =
      FormatMessage(u"例外 %s が発生しました。\n%s", {ExceptionTypeName(e), e.Message()});
  QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), ToQString(text),
                  QMessageBox::Ok);
  box.setObjectName(QStringLiteral("ThreadExceptionBox"));
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace quillora
