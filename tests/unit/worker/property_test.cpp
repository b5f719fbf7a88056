// Random inputs, random files already in the way, random settings: whatever happens, nothing
// that existed is changed, every input gets one new output with the component's bytes or one
// question, and no temporary file is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
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

namespace fs = std::filesystem;

class YesView : public TConvertView {
 public:
  void StepProgress() override {}
  void RefreshFileList() override {}
  TAnswer AskToContinue(const std::u16string& text) override {
    questions.push_back(text);
    return TAnswer::Yes;
  }
  std::vector<std::u16string> questions;
};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every file below root with its bytes; folders are listed with an empty marker of their own.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    files[rel] = e.is_directory() ? std::string("<folder>") : ReadAll(e.path());
  }
  return files;
}

class PropertyTest : public TempDirTest {};

TEST_F(PropertyTest, NothingExistingChangesAndEveryInputGetsOneOutcome) {
  RecordUserInterfaceThread();
  TNkf nkf;
  ASSERT_EQ(nkf.load_library(FromUtf8(QUILLORA_NKF32_PATH)), 0);

  const std::vector<std::string> names = {"a.txt",    "a",        ".profile",
                                          "b.tar.gz", "変換.txt", "s-a.txt"};
  const std::vector<std::string> contents = {"",
                                             "plain ascii\r\n",
                                             "\x93\xfa\x96\x7b\x8c\xea",
                                             "\xa4\xa2\xa4\xa4",
                                             "\x1b$B$\"\x1b(B",
                                             "\xe6\x97\xa5\xef\xbd\xb1",
                                             std::string("z\0z", 3)};
  const std::vector<std::u16string> texts = {u"s-", u"", u"_x", u"変換済み"};
  std::mt19937 rng(7);
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };

  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const fs::path dir = root_ / ("r" + std::to_string(round));
    fs::create_directories(dir / "変換済み");

    // Inputs, and files and folders already where outputs may want to go.
    std::vector<std::u16string> inputs;
    std::map<std::string, std::string> input_bytes;
    for (size_t i = 0, n = 1 + pick(4); i < n; ++i) {
      const std::string name = names[pick(names.size())];
      if (input_bytes.count(name))
        continue;
      input_bytes[name] = contents[pick(contents.size())];
      std::ofstream(dir / name, std::ios::binary) << input_bytes[name];
      inputs.push_back(FromUtf8((dir / name).string()));
    }
    for (const char* taken : {"s-a.txt", "s-a(2).txt", "a(2).txt", "変換済み/a.txt",
                              "変換済み/a(3).txt", "s-b.tar.gz", "a_x"}) {
      if (pick(3) == 0 && !fs::exists(dir / taken))
        std::ofstream(dir / taken, std::ios::binary) << "taken " << taken;
    }
    if (pick(4) == 0 && !fs::exists(dir / "s-a"))
      fs::create_directory(dir / "s-a");  // a folder named like an output

    TConvertSettings settings;
    settings.CharsetFrom = static_cast<int32_t>(pick(5));
    settings.CharsetTo = static_cast<int32_t>(pick(4));
    settings.NameMode = pick(2) == 0 ? TNameMode::AddText : TNameMode::SubFolder;
    settings.NamePos = static_cast<int32_t>(pick(2));
    settings.NameText = texts[pick(texts.size())];
    settings.DirText = texts[pick(texts.size())];

    // The component's bytes for each input, before anything is written.
    std::multiset<std::string> expected;
    for (const auto& [name, bytes] : input_bytes)
      expected.insert(ConvertFileBytes(nkf, FromUtf8((dir / name).string()), settings.CharsetFrom,
                                       settings.CharsetTo));
    const auto before = Snapshot(dir);

    TThreadFileNameList files;
    YesView view;
    TJvThread thread;
    TConvertWorker worker(files, nkf, thread, view);
    thread.OnExecute = [&](TJvBaseThread*, void*) { worker.Execute(settings); };
    files.AddFiles(inputs);
    ASSERT_NE(thread.Execute(nullptr), nullptr);
    ASSERT_TRUE(testing::ServeUntil([&] { return thread.Count() == 0; }));

    const auto after = Snapshot(dir);
    for (const auto& [name, bytes] : before) {
      ASSERT_TRUE(after.count(name)) << name << " vanished";
      EXPECT_EQ(after.at(name), bytes) << name << " changed";
    }
    std::multiset<std::string> made;
    for (const auto& [name, bytes] : after) {
      EXPECT_EQ(name.find(".quillora-"), std::string::npos) << "temporary file left: " << name;
      // Sub-folders made for the outputs are new too, but no output.
      if (!before.count(name) && bytes != "<folder>")
        made.insert(bytes);
    }
    // Each input either got its output or asked about it: a folder in the way is the only
    // failure these settings can meet.
    EXPECT_EQ(made.size() + view.questions.size(), inputs.size());
    for (const auto& q : view.questions)
      EXPECT_EQ(q.rfind(u"ファイルの保存に失敗しました。\n", 0), 0u) << ToUtf8(q);
    if (view.questions.empty())
      EXPECT_EQ(made, expected);
    else
      EXPECT_TRUE(std::includes(expected.begin(), expected.end(), made.begin(), made.end()));
  }
}

}  // namespace
}  // namespace quillora
