#include "job/ConvertWorker.h"

#include <exception>

#include "conv/ConvertRequest.h"
#include "conv/Tnkf.h"
#include "job/TJvThread.h"
#include "job/TThreadFileNameList.h"
#include "platform/FileSystem.h"
#include "platform/NewFile.h"
#include "platform/PathSyntax.h"
#include "platform/Text.h"

namespace quillora {
namespace {

constexpr std::u16string_view kContinue = u"\n処理を続行しますか？";

std::u16string MessageOf(const std::exception& e) {
  if (const auto* ours = dynamic_cast<const Exception*>(&e))
    return ours->Message();
  return FromUtf8(e.what());
}

}  // namespace

TConvertWorker::TConvertWorker(TThreadFileNameList& files, TNkf& nkf, TJvThread& thread,
                               TConvertView& view)
    : files_(files), nkf_(nkf), thread_(thread), view_(view) {}

void TConvertWorker::Execute(const TConvertSettings& settings) {
  ended_on_empty_queue_ = false;
  for (;;) {
    if (thread_.Terminated())
      return;
    const std::u16string input = files_.PopFront();
    if (input.empty() && files_.IsEmpty()) {
      ended_on_empty_queue_ = true;
      return;
    }
    // A file deleted or moved since it was dropped is skipped without a word or a step.
    if (!FileExists(input))
      continue;
    thread_.Synchronize([this] { view_.StepProgress(); });
    // A stop asked for while the step was pending drops this file unconverted.
    if (thread_.Terminated())
      return;
    ConvertFile(input, settings);
  }
}

bool TConvertWorker::Ask(const std::u16string& text) {
  TAnswer answer = TAnswer::Cancel;
  thread_.Synchronize([&] { answer = view_.AskToContinue(text); });
  if (answer == TAnswer::Yes)
    return true;
  thread_.Terminate();
  return false;
}

void TConvertWorker::ConvertFile(const std::u16string& input, const TConvertSettings& settings) {
  // Errors of these two steps (an output path too long to take apart) are not the file's
  // question: they end the run and reach the worker-thread component's report.
  std::u16string output = MakeOutputFileName(input, settings.NameMode, settings.NamePos,
                                             settings.NameText, settings.DirText);
  const std::u16string folder = PathSyntax::Native().DirectoryPart(output);

  if (!DirectoryExists(folder)) {
    try {
      // A folder that is a usable path but cannot be made raises nothing here; saving the
      // file in it fails afterwards and says why.
      CreateFolders(MakeAbsolutePath(folder));
    } catch (const std::exception& e) {
      if (!Ask(u"エラーが発生しました。\n" + MessageOf(e) + std::u16string(kContinue)))
        return;
    }
  }

  std::u16string question;
  try {
    const std::string bytes =
        ConvertFileBytes(nkf_, input, settings.CharsetFrom, settings.CharsetTo);
    // The name was free when it was chosen; should a file take it before the save, the next
    // free number is used, so nothing is ever replaced.
    output = WriteNewFile(output, bytes, [&](const std::u16string& taken) {
      output = MakeUniqueFileName(taken);
      return output;
    });
    thread_.Synchronize([this] { view_.RefreshFileList(); });
    return;
  } catch (const NkfException& e) {
    question = u"文字コードの変換に失敗しました。\n" + e.Message() + std::u16string(kContinue);
  } catch (const std::exception& e) {
    question = u"ファイルの保存に失敗しました。\n" + output + u"\n" + MessageOf(e) +
               std::u16string(kContinue);
  }
  Ask(question);
}

}  // namespace quillora
