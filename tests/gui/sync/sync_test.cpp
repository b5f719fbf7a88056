#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "app/SyncBridge.h"
#include "job/TJvThread.h"
#include "platform/Exception.h"
#include "platform/Synchronize.h"

namespace quillora {
namespace {

// Long enough never to be reached when things work; turns a hang into a failure.
constexpr int kGiveUpMs = 20000;

class Signal {
 public:
  void Set() {
    std::lock_guard lock(mutex_);
    set_ = true;
    changed_.notify_all();
  }
  bool Wait() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(kGiveUpMs), [&] { return set_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace

class SyncGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { bridge_ = std::make_unique<SyncBridge>(); }
  void cleanup() { bridge_.reset(); }

  void callFromTheWorkerRunsInsideAnOpenModalDialog() {
    QDialog dialog;
    TJvThread component;
    Signal dialogOpen;
    bool ranOnUi = false;
    bool ranInsideDialog = false;
    std::atomic<bool> finished{false};
    component.OnExecute = [&](TJvBaseThread*, void*) {
      if (!dialogOpen.Wait()) {
        return;
      }
      component.Synchronize([&] {
        ranOnUi = IsUserInterfaceThread();
        ranInsideDialog = QApplication::activeModalWidget() == &dialog && dialog.isVisible();
        dialog.accept();
      });
    };
    component.OnFinish = [&](TJvBaseThread*) { finished = true; };

    // Both timers fire inside the dialog's own loop: nothing else runs one.
    QTimer::singleShot(0, &dialog, [&] {
      QVERIFY(component.Execute(nullptr) != nullptr);
      dialogOpen.Set();
    });
    QTimer::singleShot(kGiveUpMs, &dialog, &QDialog::reject);
    const int result = dialog.exec();

    QCOMPARE(result, static_cast<int>(QDialog::Accepted));
    QVERIFY(ranOnUi);
    QVERIFY(ranInsideDialog);
    QTRY_VERIFY_WITH_TIMEOUT(finished.load(), kGiveUpMs);
  }

  void anExceptionFromTheBodyIsShownInAnErrorBoxWithoutOwner() {
    TJvThread component;
    std::atomic<bool> finished{false};
    component.OnExecute = [](TJvBaseThread*, void*) {
      throw Exception(u"ファイルを読み込めません。");
    };
    component.OnFinish = [&](TJvBaseThread*) { finished = true; };

    bool boxSeen = false;
    bool finishedWhileBoxOpen = true;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* owner = nullptr;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || boxSeen) {
        return;
      }
      boxSeen = true;
      finishedWhileBoxOpen = finished;
      text = box->text();
      icon = box->icon();
      owner = box->parentWidget();
      box->button(QMessageBox::Ok)->click();
    });
    poll.start(5);

    QVERIFY(component.Execute(nullptr) != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(finished.load(), kGiveUpMs);
    QVERIFY(boxSeen);
    QVERIFY(!finishedWhileBoxOpen);
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(owner, nullptr);
    QVERIFY2(text.contains(QStringLiteral("quillora::Exception")), qPrintable(text));
    QVERIFY2(text.contains(QString::fromUtf16(u"ファイルを読み込めません。")), qPrintable(text));
  }

  // The loop has nothing to do but its give-up timer, so it sleeps; only the posted event can
  // wake it in time.
  void aRequestWakesALoopThatWaits() {
    QEventLoop loop;
    Signal loopRunning;
    bool quitByCall = false;
    std::thread requester([&] {
      if (!loopRunning.Wait()) {
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      SynchronizeCall([&] {
        quitByCall = true;
        loop.quit();
      });
    });
    QTimer::singleShot(0, &loop, [&] { loopRunning.Set(); });
    QTimer::singleShot(kGiveUpMs, &loop, &QEventLoop::quit);
    loop.exec();
    const bool woken = quitByCall;
    while (!quitByCall) {  // let the requester go even when the loop was not woken
      CheckSynchronize();
    }
    requester.join();
    QVERIFY(woken);
  }

  // With no posted event to wake it, the loop still serves before it waits.
  void aRequestIsServedWhenTheLoopIsAboutToWait() {
    SetWakeUserInterfaceHook(nullptr);
    std::atomic<bool> ran{false};
    bool ranOnUi = false;
    std::thread requester([&] {
      SynchronizeCall([&] {
        ranOnUi = IsUserInterfaceThread();
        ran = true;
      });
    });
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      if (ran) {
        loop.quit();
      }
    });
    poll.start(5);
    QTimer::singleShot(kGiveUpMs, &loop, &QEventLoop::quit);
    loop.exec();

    const bool servedByLoop = ran;
    while (!ran) {  // let the requester go even when the loop failed to serve
      CheckSynchronize();
    }
    requester.join();
    QVERIFY(servedByLoop);
    QVERIFY(ranOnUi);
  }

 private:
  std::unique_ptr<SyncBridge> bridge_;
};

}  // namespace quillora

QTEST_MAIN(quillora::SyncGuiTest)
#include "sync_test.moc"
