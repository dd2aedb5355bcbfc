// uiauto: a small UI-automation helper for the end-to-end tests. It runs inside the Wine prefix
// beside the program under test, reads what a user would see and acts as a user would. Output
// is one record per line (see output.h); the exit code says whether the command succeeded.

#include <windows.h>

#include <cwchar>
#include <string_view>

#include "commands.h"
#include "output.h"

namespace {

using uiauto::Options;

constexpr wchar_t kUsage[] =
    L"usage: uiauto COMMAND [OPTIONS]\n"
    L"\n"
    L"  list      [FILTER] [--visible]       top-level windows (hidden ones too by default)\n"
    L"  wait      [FILTER] [--gone]          until a window matches (or none does)\n"
    L"  describe  [FILTER]                   window, controls, default button, message, icon\n"
    L"  press     [FILTER] CONTROL [--method click|command] [--force] [--wait-close MS]\n"
    L"  key       [FILTER] --key enter|escape|space|tab [--wait-close MS]\n"
    L"                                       to the focused control, as if typed\n"
    L"  settext   [FILTER] CONTROL --set TEXT\n"
    L"  check     [FILTER] CONTROL [--uncheck]  clicks a check box or radio button to the state\n"
    L"  browse    [FILTER] --path PATH       selects (and types) a folder in the folder browser\n"
    L"  close     [FILTER] [--wait-close MS]  posts WM_CLOSE\n"
    L"  procs     [--pid P] [--image NAME]    processes\n"
    L"  wait-exit --pid P                    prints the exit code when the process ends\n"
    L"  strings   MODULE                     string table of a module loaded as data\n"
    L"  dialogs   MODULE                     dialog templates of a module loaded as data\n"
    L"  shortcut  FILE                       a shortcut's target, working folder, arguments\n"
    L"  hold      FILE [--path MARKER]       holds the file open (others may only read it) for\n"
    L"                                       --timeout MS; writes MARKER once it holds\n"
    L"  shortpath FILE                       the path with its 8.3 aliases\n"
    L"\n"
    L"FILTER: --hwnd H --title TEXT --class NAME --pid P --image NAME|PATH --include-hidden\n"
    L"CONTROL: --id N and/or --text TEXT (\"&Yes\" also matches \"Yes\"); a visible one first\n"
    L"--timeout MS: how long to wait for the window or process (wait, wait-exit: 10000;\n"
    L"  others: 0). Numbers may be decimal or 0x-hex.\n"
    L"Exit code: 0 done, 1 failed, 2 timed out or nothing matched.\n";

int Usage(std::string_view problem) {
  if (!problem.empty()) {
    uiauto::ReportError(problem);
  }
  uiauto::Record("usage").Text("text", std::wstring_view(kUsage)).PrintError();
  return uiauto::kExitFailed;
}

bool ParseNumber(const wchar_t* text, unsigned long long* value) {
  wchar_t* end = nullptr;
  *value = std::wcstoull(text, &end, 0);
  return end != text && *end == L'\0';
}

// Fills options from argv[2...]; returns false with a message on a bad argument.
bool ParseOptions(int argc, wchar_t** argv, bool takesModule, Options* options,
                  std::string* problem) {
  for (int i = 2; i < argc; ++i) {
    const std::wstring_view arg = argv[i];
    if (arg == L"--include-hidden") {
      options->filter.includeHidden = true;
      continue;
    }
    if (arg == L"--visible") {
      options->filter.includeHidden = false;
      continue;
    }
    if (arg == L"--force") {
      options->force = true;
      continue;
    }
    if (arg == L"--gone") {
      options->gone = true;
      continue;
    }
    if (arg == L"--uncheck") {
      options->uncheck = true;
      continue;
    }
    if (arg.substr(0, 2) != L"--") {
      if (takesModule && options->module.empty()) {
        options->module = argv[i];
        continue;
      }
      *problem = "unexpected argument: " + uiauto::ToUtf8(arg);
      return false;
    }
    if (i + 1 >= argc) {
      *problem = "missing value after " + uiauto::ToUtf8(arg);
      return false;
    }
    const wchar_t* value = argv[++i];
    unsigned long long number = 0;
    const bool numeric = ParseNumber(value, &number);
    if (arg == L"--title") {
      options->filter.title = value;
    } else if (arg == L"--class") {
      options->filter.windowClass = value;
    } else if (arg == L"--image") {
      options->filter.image = value;
    } else if (arg == L"--text") {
      options->controlText = value;
    } else if (arg == L"--set") {
      options->newText = value;
    } else if (arg == L"--path") {
      options->path = value;
    } else if (arg == L"--method") {
      options->method = value;
    } else if (arg == L"--key") {
      options->key = value;
    } else if (!numeric) {
      *problem = "not a number after " + uiauto::ToUtf8(arg);
      return false;
    } else if (arg == L"--hwnd") {
      options->filter.hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(number));
    } else if (arg == L"--pid") {
      options->filter.pid = static_cast<DWORD>(number);
    } else if (arg == L"--id") {
      options->controlId = static_cast<int>(number);
    } else if (arg == L"--timeout") {
      options->timeoutMs = static_cast<DWORD>(number);
    } else if (arg == L"--wait-close") {
      options->waitCloseMs = static_cast<DWORD>(number);
    } else {
      *problem = "unknown option: " + uiauto::ToUtf8(arg);
      return false;
    }
  }
  if (takesModule && options->module.empty()) {
    *problem = "a module path is required";
    return false;
  }
  return true;
}

struct Command {
  const wchar_t* name;
  int (*run)(const Options&);
  DWORD defaultTimeoutMs;
  bool takesModule;
  bool includesHidden;
};

const Command kCommands[] = {
    {L"list", uiauto::ListWindows, 0, false, true},
    {L"wait", uiauto::WaitWindow, 10000, false, false},
    {L"describe", uiauto::DescribeWindow, 0, false, false},
    {L"press", uiauto::PressButton, 0, false, false},
    {L"key", uiauto::PressKey, 0, false, false},
    {L"settext", uiauto::SetControlText, 0, false, false},
    {L"check", uiauto::CheckButton, 0, false, false},
    {L"browse", uiauto::SelectFolder, 0, false, false},
    {L"close", uiauto::RequestClose, 0, false, false},
    {L"procs", uiauto::ListProcesses, 0, false, true},
    {L"wait-exit", uiauto::WaitProcessExit, 10000, false, true},
    {L"strings", uiauto::DumpStrings, 0, true, true},
    {L"dialogs", uiauto::DumpDialogs, 0, true, true},
    {L"shortcut", uiauto::ReadShortcut, 0, true, true},
    {L"hold", uiauto::HoldFile, 0, true, true},
    {L"shortpath", uiauto::ShortPath, 0, true, true},
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    return Usage("a command is required");
  }
  const std::wstring_view name = argv[1];
  if (name == L"help" || name == L"--help" || name == L"-h") {
    uiauto::Record("usage").Text("text", std::wstring_view(kUsage)).Print();
    return uiauto::kExitOk;
  }
  for (const Command& command : kCommands) {
    if (name != command.name) {
      continue;
    }
    Options options;
    options.timeoutMs = command.defaultTimeoutMs;
    options.filter.includeHidden = command.includesHidden;
    std::string problem;
    if (!ParseOptions(argc, argv, command.takesModule, &options, &problem)) {
      return Usage(problem);
    }
    return command.run(options);
  }
  return Usage("unknown command: " + uiauto::ToUtf8(name));
}
