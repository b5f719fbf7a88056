#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "conv/ConvertRequest.h"
#include "conv/Tnkf.h"
#include "job/ConvertWorker.h"
#include "job/TJvThread.h"
#include "job/TThreadFileNameList.h"
#include "paths/temp_dir.h"
#include "platform/Synchronize.h"
#include "platform/Text.h"
#include "thread/ThreadTestSupport.h"

namespace quillora {
namespace {

std::u16string TestLib(const char* name) {
  return FromUtf8(std::string(QUILLORA_TEST_LIB_DIR) + "/" + name);
}

// The window as the worker sees it: counts the steps and refreshes and answers the questions
// from a script (Yes once the script is used up).
class FakeView : public TConvertView {
 public:
  void StepProgress() override {
    EXPECT_TRUE(IsUserInterfaceThread());
    ++steps;
    if (on_step)
      on_step();
  }
  void RefreshFileList() override {
    EXPECT_TRUE(IsUserInterfaceThread());
    ++refreshes;
    if (on_refresh)
      on_refresh();
  }
  TAnswer AskToContinue(const std::u16string& text) override {
    EXPECT_TRUE(IsUserInterfaceThread());
    questions.push_back(text);
    if (answers.empty())
      return TAnswer::Yes;
    const TAnswer a = answers.front();
    answers.pop_front();
    return a;
  }

  int steps = 0;
  int refreshes = 0;
  std::vector<std::u16string> questions;
  std::deque<TAnswer> answers;
  std::function<void()> on_step;
  std::function<void()> on_refresh;
};

class WorkerTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    RecordUserInterfaceThread();
    ASSERT_EQ(nkf.load_library(TestLib("nkf_record.dll")), 0);
    thread.OnExecute = [this](TJvBaseThread*, void*) { worker.Execute(settings); };
  }

  // Starts a run and plays the user-interface thread until it has ended.
  void Run() {
    ASSERT_NE(thread.Execute(nullptr), nullptr);
    ASSERT_TRUE(testing::ServeUntil([&] { return thread.Count() == 0; }));
  }
  void Queue(std::initializer_list<std::string> names) {
    std::vector<std::u16string> paths;
    for (const auto& n : names)
      paths.push_back(Path(n));
    files.AddFiles(paths);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Native(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Native(name)); }
  // What the component makes of bytes under the run's settings.
  std::string Converted(const std::string& bytes) {
    std::string out;
    EXPECT_EQ(nkf.convert(bytes, out, MakeNkfOption(settings.CharsetFrom, settings.CharsetTo)), 0);
    return out;
  }
  size_t EntryCount() const {
    size_t n = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(root_);
         it != std::filesystem::recursive_directory_iterator(); ++it)
      ++n;
    return n;
  }

  TThreadFileNameList files;
  TNkf nkf;
  FakeView view;
  TConvertSettings settings{0, 0, TNameMode::AddText, 0, u"s-", u"変換済み"};
  TJvThread thread;  // destroyed before everything a run uses
  TConvertWorker worker{files, nkf, thread, view};
};

TEST_F(WorkerTest, ThreeFilesAreConvertedAndSavedBesideTheirInputs) {
  WriteFile("a.txt", "alpha");
  WriteFile("b.txt", std::string("b\0b", 3));
  WriteFile("c", "");
  Queue({"a.txt", "b.txt", "c"});
  Run();
  EXPECT_EQ(Read("s-a.txt"), Converted("alpha"));
  EXPECT_EQ(Read("s-b.txt"), Converted(std::string("b\0b", 3)));
  EXPECT_EQ(Read("s-c"), Converted(""));
  EXPECT_EQ(Read("a.txt"), "alpha");
  EXPECT_EQ(view.steps, 3);
  EXPECT_EQ(view.refreshes, 3);
  EXPECT_TRUE(view.questions.empty());
  EXPECT_TRUE(worker.EndedOnEmptyQueue());
  EXPECT_EQ(EntryCount(), 6u);  // no temporary file left
}

TEST_F(WorkerTest, TheSameCodeCopiesTheBytesAndNamesTheOutputBySettings) {
  settings = {1, 0, TNameMode::SubFolder, 0, u"", u"変換済み"};
  const std::string bytes("\x82\xa0\x00\xff", 4);
  WriteFile("in.txt", bytes);
  WriteFile("変換済み/in.txt", "already there");
  Queue({"in.txt"});
  Run();
  EXPECT_EQ(Read("変換済み/in(2).txt"), bytes);
  EXPECT_EQ(Read("変換済み/in.txt"), "already there");
}

TEST_F(WorkerTest, TheEmptyNameTextNeverOverwritesTheInput) {
  settings.NameText = u"";
  WriteFile("r.txt", "mine");
  Queue({"r.txt"});
  Run();
  EXPECT_EQ(Read("r.txt"), "mine");
  EXPECT_EQ(Read("r(2).txt"), Converted("mine"));
}

TEST_F(WorkerTest, AQueuedFileThatVanishedIsSkippedSilently) {
  WriteFile("gone.txt");
  WriteFile("kept.txt", "k");
  Queue({"gone.txt", "kept.txt"});
  std::filesystem::remove(Native("gone.txt"));
  Run();
  EXPECT_FALSE(Exists("s-gone.txt"));
  EXPECT_EQ(Read("s-kept.txt"), Converted("k"));
  EXPECT_EQ(view.steps, 1);
  EXPECT_TRUE(view.questions.empty());
}

// A folder where the second output should go makes its save fail; No keeps the rest pending
// for the next run, which converts them first.
TEST_F(WorkerTest, ASaveFailureAnsweredNoStopsTheRunAndKeepsTheRest) {
  for (const char* n : {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"})
    WriteFile(n, n);
  std::filesystem::create_directory(Native("s-2.txt"));
  Queue({"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"});
  view.answers = {TAnswer::No};
  Run();
  ASSERT_EQ(view.questions.size(), 1u);
  const std::u16string& q = view.questions[0];
  EXPECT_EQ(q.rfind(u"ファイルの保存に失敗しました。\n" + Path("s-2.txt") + u"\nファイル \"" +
                        Path("s-2.txt") + u"\" を作成できません。",
                    0),
            0u)
      << ToUtf8(q);
  EXPECT_TRUE(q.ends_with(u"\n処理を続行しますか？"));
  EXPECT_FALSE(worker.EndedOnEmptyQueue());
  EXPECT_EQ(files.Count(), 3);
  EXPECT_EQ(files.Get(0), Path("3.txt"));
  EXPECT_TRUE(Exists("s-1.txt"));
  EXPECT_FALSE(Exists("s-3.txt"));

  Run();
  EXPECT_TRUE(Exists("s-5.txt"));
  EXPECT_TRUE(worker.EndedOnEmptyQueue());
}

TEST_F(WorkerTest, AConversionFailureAsksAndYesSkipsTheFile) {
  TNkf huge;
  ASSERT_EQ(huge.load_library(TestLib("nkf_huge.dll")), 0);
  TConvertWorker failing{files, huge, thread, view};
  thread.OnExecute = [&](TJvBaseThread*, void*) { failing.Execute(settings); };
  WriteFile("a.txt");
  WriteFile("b.txt");
  Queue({"a.txt", "b.txt"});
  Run();
  ASSERT_EQ(view.questions.size(), 2u);
  EXPECT_EQ(view.questions[0],
            u"文字コードの変換に失敗しました。\nmemory allocation erorr.(get_buffer_pointer)\n"
            u"処理を続行しますか？");
  EXPECT_EQ(EntryCount(), 2u);  // a failed conversion leaves no output behind
  EXPECT_TRUE(failing.EndedOnEmptyQueue());
}

TEST_F(WorkerTest, AnUnusableFolderAsksFirstAndYesLeadsToTheSaveQuestion) {
  settings.NameMode = TNameMode::SubFolder;
  settings.DirText = std::u16string(u"bad\0dir", 7);
  WriteFile("a.txt");
  Queue({"a.txt"});
  view.answers = {TAnswer::Yes, TAnswer::Cancel};
  Run();
  ASSERT_EQ(view.questions.size(), 2u);
  EXPECT_EQ(view.questions[0].rfind(u"エラーが発生しました。\n", 0), 0u);
  EXPECT_EQ(view.questions[1].rfind(u"ファイルの保存に失敗しました。\n", 0), 0u);
  EXPECT_FALSE(worker.EndedOnEmptyQueue());
}

TEST_F(WorkerTest, CancelDuringAFileSavesItAndStartsNoOther) {
  for (const char* n : {"a.txt", "b.txt", "c.txt"})
    WriteFile(n);
  Queue({"a.txt", "b.txt", "c.txt"});
  view.on_refresh = [&] {
    files.Clear();
    thread.Terminate();
  };
  Run();
  EXPECT_TRUE(Exists("s-a.txt"));
  EXPECT_FALSE(Exists("s-b.txt"));
  EXPECT_EQ(files.Count(), 0);
  EXPECT_FALSE(worker.EndedOnEmptyQueue());
}

TEST_F(WorkerTest, CancelWhileTheStepIsPendingDropsTheFileUnconverted) {
  WriteFile("a.txt");
  Queue({"a.txt"});
  view.on_step = [&] {
    files.Clear();
    thread.Terminate();
  };
  Run();
  EXPECT_FALSE(Exists("s-a.txt"));
  EXPECT_EQ(view.refreshes, 0);
}

TEST_F(WorkerTest, AnOverlongOutputPathEndsTheRunThroughTheReport) {
  std::u16string reported;
  SetThreadExceptionReport([&](const Exception& e) { reported = e.Message(); });
  WriteFile("a.txt");
  settings.NameText = std::u16string(4100, u'x');
  Queue({"a.txt"});
  Run();
  SetThreadExceptionReport(nullptr);
  EXPECT_EQ(reported, u"指定されたパスが長すぎます");
  EXPECT_TRUE(view.questions.empty());
  EXPECT_FALSE(worker.EndedOnEmptyQueue());
}

}  // namespace
}  // namespace quillora
