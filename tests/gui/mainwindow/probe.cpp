// The whole program, started by the tests in folders of their own: the real entry, the real
// window and real message boxes. It answers every box with OK and prints what it showed, and
// closes the window once the conversion component is loaded, so each run ends by itself.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "app/Application.h"
#include "app/UnitFormMain.h"
#include "platform/Exception.h"

namespace {

void Print(const QString& line) {
  std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // "--fail-at-start": start-up itself throws, once the answering timer runs.
  const bool failAtStart = argc > 1 && std::strcmp(argv[1], "--fail-at-start") == 0;
  return quillora::RunApplication(
      argc, argv, [failAtStart](quillora::TApplication& application, quillora::TFormMain& form) {
        auto* answer = new QTimer(&application);
        QObject::connect(answer, &QTimer::timeout, [] {
          auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
          if (box == nullptr) {
            return;
          }
          const bool onlyOk = box->standardButtons() == QMessageBox::Ok;
          Print(QStringLiteral("box icon=%1 onlyOk=%2 text=%3")
                    .arg(static_cast<int>(box->icon()))
                    .arg(onlyOk ? 1 : 0)
                    .arg(box->text()));
          box->button(QMessageBox::Ok)->click();
        });
        answer->start(10);
        // A run that hangs ends anyway; the missing lines then fail the test.
        QTimer::singleShot(20000, &application, [] {
          Print(QStringLiteral("probe gave up"));
          QApplication::quit();
        });
        if (failAtStart) {
          throw quillora::Exception(u"起動できませんでした。");
        }
        QObject::connect(&form, &quillora::TFormMain::FirstIdleFinished, &form,
                         [&form](bool loaded) {
                           Print(QStringLiteral("first idle loaded=%1").arg(loaded ? 1 : 0));
                           if (loaded) {
                             QTimer::singleShot(0, &form, &QWidget::close);
                           }
                         });
      });
}
