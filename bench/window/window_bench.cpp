// The whole job through the real window against the same work in a plain loop, in one run:
// 10,000 Shift_JIS files of 4 KB dropped on the window (offscreen) and timed until the status
// reads "変換しました。", while a timer on the user-interface thread measures how late it fires;
// then the same reads, conversions and writes without the window.
//
//   bench_window [files] [repetitions]
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/RadioGroup.h"
#include "app/UnitFormMain.h"
#include "conv/ConvertRequest.h"
#include "conv/Tnkf.h"
#include "job/OutputPathRules.h"
#include "platform/NewFile.h"

namespace quillora {
namespace {

const QString kExeInBin = QStringLiteral(QUILLORA_BIN_DIR "/quillora-bench");

// About 4 KB of Shift_JIS text: lines of kana and kanji from JIS X 0208 rows 4 and 16-47, with
// ASCII words between, fixed seed.
QByteArray SampleText(std::mt19937& rng) {
  QByteArray text;
  std::uniform_int_distribution<int> kind(0, 9), row(16, 47), cell(1, 94), kana(1, 83);
  while (text.size() < 4096) {
    const int k = kind(rng);
    int r = 4, c = kana(rng);
    if (k < 2) {
      text += "data ";
      continue;
    }
    if (k > 6) {
      r = row(rng);
      c = cell(rng);
    }
    // JIS row and cell to Shift_JIS.
    const int lead = ((r - 1) >> 1) + (r <= 62 ? 0x81 : 0xC1);
    const int trail = (r % 2 == 1) ? c + 0x3F + (c >= 64 ? 1 : 0) : c + 0x9E;
    text += char(lead);
    text += char(trail);
    if (text.size() % 80 < 2)
      text += "\r\n";
  }
  return text;
}

struct Corpus {
  QTemporaryDir dir;
  QStringList paths;
};

void MakeCorpus(Corpus& corpus, int files) {
  std::mt19937 rng(20261210);
  for (int i = 0; i < files; ++i) {
    const QString path = corpus.dir.filePath(QStringLiteral("f%1.txt").arg(i));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
      std::abort();
    f.write(SampleText(rng));
    corpus.paths << path;
  }
}

double PlainLoop(const Corpus& corpus) {
  TNkf nkf;
  if (nkf.load_library(kExeInBin.left(kExeInBin.lastIndexOf('/') + 1).toStdU16String() +
                       u"nkf32.dll") != 0)
    std::abort();
  QElapsedTimer clock;
  clock.start();
  for (const QString& p : corpus.paths) {
    const std::u16string input = p.toStdU16String();
    const std::u16string output = MakeOutputFileName(input, TNameMode::AddText, 0, u"s-", u"");
    const std::string bytes = ConvertFileBytes(nkf, input, 0, 3);
    WriteNewFile(output, bytes,
                 [](const std::u16string& taken) { return MakeUniqueFileName(taken); });
  }
  return clock.nsecsElapsed() / 1e9;
}

struct WindowResult {
  double seconds;
  double p99_late_ms;
  double max_late_ms;
};

WindowResult ThroughWindow(const Corpus& corpus) {
  TFormMain form(nullptr, kExeInBin.toStdU16String());
  QSignalSpy loaded(&form, &TFormMain::FirstIdleFinished);
  form.show();
  if (!loaded.wait(10000) || !loaded.at(0).at(0).toBool())
    std::abort();
  form.RadioGroupCharsetTo->SetItemIndex(3);

  // A 10 ms timer: how late each tick comes says how long the thread was kept from its events.
  std::vector<double> late;
  QElapsedTimer tick;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    late.push_back(std::max(0.0, tick.nsecsElapsed() / 1e6 - 10.0));
    tick.restart();
  });

  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& p : corpus.paths)
    urls << QUrl::fromLocalFile(p);
  mime.setUrls(urls);
  QElapsedTimer clock;
  clock.start();
  tick.start();
  timer.start();
  QDragEnterEvent enter(QPoint(300, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form, &enter);
  QDropEvent drop(QPointF(300, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form, &drop);
  while (!(form.JvThreadConvert->Count() == 0 &&
           form.StatusBar1->currentMessage() == QStringLiteral("変換しました。")))
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  const double seconds = clock.nsecsElapsed() / 1e9;
  timer.stop();
  std::sort(late.begin(), late.end());
  const double p99 = late.empty() ? 0 : late[std::min(late.size() - 1, late.size() * 99 / 100)];
  return {seconds, p99, late.empty() ? 0 : late.back()};
}

}  // namespace
}  // namespace quillora

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
  std::printf("%d files of 4 KB, Shift_JIS detected, written as UTF-8; %d repetitions\n", files,
              repetitions);
  std::vector<double> plain, window, ratios;
  double worst_p99 = 0, worst_late = 0;
  for (int r = 0; r < repetitions; ++r) {
    quillora::Corpus a, b;
    quillora::MakeCorpus(a, files);
    quillora::MakeCorpus(b, files);
    // Alternate which goes first, so neither always meets a warmer cache.
    double p, w;
    quillora::WindowResult wr{};
    if (r % 2 == 0) {
      p = quillora::PlainLoop(a);
      wr = quillora::ThroughWindow(b);
    } else {
      wr = quillora::ThroughWindow(b);
      p = quillora::PlainLoop(a);
    }
    w = wr.seconds;
    plain.push_back(p);
    window.push_back(w);
    ratios.push_back(w / p);
    worst_p99 = std::max(worst_p99, wr.p99_late_ms);
    worst_late = std::max(worst_late, wr.max_late_ms);
    std::printf(
        "  run %d: plain loop %.3f s, window %.3f s, ratio %.2f, timer late p99 %.1f ms, "
        "max %.1f ms\n",
        r + 1, p, w, w / p, wr.p99_late_ms, wr.max_late_ms);
  }
  std::sort(ratios.begin(), ratios.end());
  std::printf(
      "median ratio window/plain: %.2f (bar: 1.50); worst timer lateness p99 %.1f ms "
      "(bar: 50), max %.1f ms\n",
      ratios[ratios.size() / 2], worst_p99, worst_late);
  return 0;
}
