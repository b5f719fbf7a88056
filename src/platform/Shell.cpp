#include "platform/Shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>

#include "platform/Text.h"

extern char** environ;

namespace quillora {

bool OpenWithDesktop(const std::u16string& target) {
  return OpenWithProgram("xdg-open", target);
}

bool OpenWithProgram(const std::string& program, const std::u16string& target) {
  std::string argument = ToUtf8(target);
  // A handler would read a leading "-" as an option of its own.
  if (!argument.empty() && argument.front() == '-') {
    argument.insert(0, "./");
  }
  // A short-lived shell starts the handler in the background and ends at once, so the handler
  // is adopted by init and never lingers as our zombie, and the caller does not wait for a
  // handler that stays in the foreground until its viewer closes. Program and target are
  // positional parameters, never parsed as shell text.
  static const char kScript[] =
      "command -v \"$1\" >/dev/null 2>&1 || exit 127\n"
      "\"$1\" \"$2\" </dev/null >/dev/null 2>&1 &\n";
  std::string sh = "sh";
  std::string dash_c = "-c";
  std::string script = kScript;
  std::string name = "quillora-open";
  std::string program_arg = program;
  char* argv[] = {sh.data(),          dash_c.data(),   script.data(), name.data(),
                  program_arg.data(), argument.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) {
    return false;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return false;
    }
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quillora
