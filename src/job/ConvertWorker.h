#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "job/OutputPathRules.h"

namespace quillora {

class TJvThread;
class TNkf;
class TThreadFileNameList;

// The window's conversion settings as they stood when a run began. The worker reads only this
// copy, never a control.
struct TConvertSettings {
  int32_t CharsetFrom = 0;  // 0 detection, 1 Shift_JIS, 2 JIS, 3 EUC-JP, 4 UTF-8
  int32_t CharsetTo = 0;    // 0 Shift_JIS, 1 JIS, 2 EUC-JP, 3 UTF-8
  TNameMode NameMode = TNameMode::AddText;
  int32_t NamePos = 0;  // 0 before the name, 1 after it
  std::u16string NameText;
  std::u16string DirText;
};

// The answer to a continue-or-stop question: only Yes goes on.
enum class TAnswer { Yes, No, Cancel };

// What the worker needs of the window. Every call is made on the user-interface thread,
// through the worker-thread component's Synchronize, while the worker waits.
class TConvertView {
 public:
  virtual ~TConvertView() = default;
  virtual void StepProgress() = 0;
  virtual void RefreshFileList() = 0;
  // A confirmation with Yes, No and Cancel; the text ends with "処理を続行しますか？".
  virtual TAnswer AskToContinue(const std::u16string& text) = 0;
};

// The body of a conversion run: takes the pending files one by one from the front of the
// queue, converts each and saves it as a new file, and asks the user whether to go on when a
// file fails.
class TConvertWorker {
 public:
  TConvertWorker(TThreadFileNameList& files, TNkf& nkf, TJvThread& thread, TConvertView& view);

  // One run, on the worker thread. Returns when the queue is found empty or the run was told
  // to stop; an error outside the per-file questions (an overlong output path) escapes.
  void Execute(const TConvertSettings& settings);

  // True when the last run ended because it found the queue empty, rather than by a stop, a
  // declined question or an error: the only ending after which paths that arrived late may
  // start a new run at once.
  bool EndedOnEmptyQueue() const { return ended_on_empty_queue_.load(); }

  // Converts and saves one file, asking on failure.
  void ConvertFile(const std::u16string& input, const TConvertSettings& settings);

 private:
  // Asks through the user-interface thread; stops the run unless the answer is Yes.
  bool Ask(const std::u16string& text);

  TThreadFileNameList& files_;
  TNkf& nkf_;
  TJvThread& thread_;
  TConvertView& view_;
  std::atomic<bool> ended_on_empty_queue_{false};
};

}  // namespace quillora
