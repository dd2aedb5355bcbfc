#include "bench.h"

#include "records.h"
#include "registry_keys.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

fs::path FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "";
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const fs::path candidate = fs::path(rest.substr(0, colon)) / name;
    if (access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return {};
}

// Everything below runs posix_spawn with these pieces; the helper keeps their cleanup in one
// place.
class Spawn {
 public:
  Spawn() { posix_spawn_file_actions_init(&actions_); }
  ~Spawn() { posix_spawn_file_actions_destroy(&actions_); }
  Spawn(const Spawn&) = delete;
  Spawn& operator=(const Spawn&) = delete;

  posix_spawn_file_actions_t* actions() { return &actions_; }

  pid_t Start(const std::vector<std::string>& argv, std::string* error) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
      args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions_, nullptr, args.data(), environ);
    if (rc != 0) {
      *error = "cannot start " + argv[0] + ": " + std::strerror(rc);
      return -1;
    }
    return pid;
  }

 private:
  posix_spawn_file_actions_t actions_;
};

// Reads what is there now; false once the writer side is closed.
bool Drain(int fd, std::string* into) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      into->append(buffer, static_cast<size_t>(got));
      continue;
    }
    if (got == 0) {
      return false;
    }
    return errno == EAGAIN || errno == EINTR;
  }
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) {
    return WEXITSTATUS(status);
  }
  return 128 + WTERMSIG(status);
}

// The first Wine process of a session starts Wine's system processes, and they keep its
// standard handles for the whole session. Started here with /dev/null, so that no pipe of a
// later RunHost stays open behind a program that has ended.
void StartWineSystemProcesses(const Bench& bench) {
  Spawn spawn;
  posix_spawn_file_actions_addopen(spawn.actions(), 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(spawn.actions(), 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(spawn.actions(), 2, "/dev/null", O_WRONLY, 0);
  std::string error;
  const pid_t pid = spawn.Start({bench.wine.string(), bench.uiautoExe.string(), "procs"}, &error);
  if (pid > 0) {
    int status = 0;
    waitpid(pid, &status, 0);
  }
}

}  // namespace

bool InCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string_view(ci) == "true";
}

const Bench& TheBench() {
  static const Bench bench = [] {
    Bench found;
    const fs::path build = E2E_WIN32_BUILD_DIR;
    found.setupExe = build / "setup.exe";
    found.uiautoExe = build / "uiauto.exe";
    found.wine = FindOnPath("wine");
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix != nullptr) {
      found.prefix = prefix;
    }
    if (std::getenv("PICTAVO_WINE_SESSION") == nullptr) {
      found.problem =
          "not inside a Wine session: run the tests through "
          "tools/wine/run-in-prefix.sh --host";
    } else if (found.wine.empty()) {
      found.problem = "wine is not installed (scripts/install-tools.sh)";
    } else if (found.prefix.empty() || !fs::is_directory(found.prefix / "drive_c")) {
      found.problem = "WINEPREFIX does not name a Wine prefix";
    } else if (std::getenv("DISPLAY") == nullptr) {
      found.problem = "no display (Xvfb and xvfb-run come from scripts/install-tools.sh)";
    } else if (!fs::is_regular_file(found.setupExe)) {
      found.problem = found.setupExe.string() + " is missing: build the win32 preset";
    } else if (!fs::is_regular_file(found.uiautoExe)) {
      found.problem = found.uiautoExe.string() + " is missing: build the win32 preset";
    }
    if (found.problem.empty()) {
      StartWineSystemProcesses(found);
    }
    return found;
  }();
  return bench;
}

Output RunHost(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
  Output result;
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    result.err = "pipe failed";
    return result;
  }
  pid_t pid = -1;
  {
    Spawn spawn;
    posix_spawn_file_actions_addopen(spawn.actions(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(spawn.actions(), out[1], 1);
    posix_spawn_file_actions_adddup2(spawn.actions(), err[1], 2);
    pid = spawn.Start(argv, &result.err);
  }
  close(out[1]);
  close(err[1]);
  if (pid > 0) {
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    fcntl(err[0], F_SETFL, O_NONBLOCK);
    const auto deadline = Clock::now() + timeout;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    // Ends with the program, not with the end of its output: a process that the program
    // started may keep the pipes open.
    for (;;) {
      poll(fds, 2, 20);
      for (pollfd& fd : fds) {
        if (fd.fd >= 0 && !Drain(fd.fd, fd.fd == out[0] ? &result.out : &result.err)) {
          fd.fd = -1;
        }
      }
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        result.exitCode = ExitCodeOf(status);
        break;
      }
      if (Clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        result.err += "\n(killed after the timeout)";
        break;
      }
    }
    Drain(out[0], &result.out);
    Drain(err[0], &result.err);
  }
  close(out[0]);
  close(err[0]);
  return result;
}

Output RunWindows(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
  std::vector<std::string> command = {TheBench().wine.string()};
  command.insert(command.end(), argv.begin(), argv.end());
  return RunHost(command, timeout);
}

UiResult Uiauto(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
  std::vector<std::string> command = {TheBench().uiautoExe.string()};
  command.insert(command.end(), args.begin(), args.end());
  const Output output = RunWindows(command, timeout);
  return {output.exitCode, ParseRecords(output.out), output.err};
}

std::unique_ptr<WindowsProcess> HoldFile(const std::string& windowsPath, int milliseconds,
                                         const fs::path& folder) {
  const fs::path marker = folder / "held";
  fs::remove(marker);
  auto hold = std::make_unique<WindowsProcess>(
      TheBench().uiautoExe.string(),
      std::vector<std::string>{"hold", windowsPath, "--path", WindowsPath(marker), "--timeout",
                               std::to_string(milliseconds)},
      folder);
  for (int attempt = 0; attempt < 200 && !fs::exists(marker); ++attempt) {
    std::this_thread::sleep_for(50ms);
  }
  return fs::exists(marker) ? std::move(hold) : nullptr;
}

WindowsProcess::WindowsProcess(const std::string& program, const std::vector<std::string>& args,
                               const fs::path& workingFolder) {
  std::vector<std::string> argv = {TheBench().wine.string(), program};
  argv.insert(argv.end(), args.begin(), args.end());
  Spawn spawn;
  posix_spawn_file_actions_addopen(spawn.actions(), 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addchdir_np(spawn.actions(), workingFolder.c_str());
  std::string error;
  pid_ = spawn.Start(argv, &error);
  if (pid_ <= 0) {
    ADD_FAILURE() << error;
  }
}

WindowsProcess::~WindowsProcess() {
  if (pid_ > 0 && !exitCode_) {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
}

bool WindowsProcess::Kill() {
  if (pid_ <= 0 || WaitForExit(0ms)) {
    return false;
  }
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  exitCode_ = ExitCodeOf(status);
  // It may have ended by itself between the look above and the signal.
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

std::optional<int> WindowsProcess::WaitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (pid_ > 0 && !exitCode_) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exitCode_ = ExitCodeOf(status);
    } else if (Clock::now() > deadline) {
      break;
    } else {
      std::this_thread::sleep_for(20ms);
    }
  }
  return exitCode_;
}

std::string RegQuoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') {
      quoted += '\\';
    }
    quoted += c;
  }
  return quoted + '"';
}

bool ImportRegistry(const std::string& regText) {
  // Outside drive C, so that no folder a test watches changes.
  char name[] = "/tmp/e2e-registry-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) {
    return false;
  }
  const bool written =
      write(fd, regText.data(), regText.size()) == static_cast<ssize_t>(regText.size());
  close(fd);
  const Output output =
      written ? RunWindows({"reg", "import", WindowsPath(name), "/reg:32"}) : Output{};
  unlink(name);
  return output.exitCode == 0;
}

std::optional<std::string> QueryRegistry(const std::string& key) {
  const Output output = RunWindows({"reg", "query", key, "/s", "/reg:32"});
  if (output.exitCode != 0) {
    return std::nullopt;
  }
  return output.out;
}

std::optional<RegData> RegEntry(const std::string& key, const std::string& name,
                                const std::string& view) {
  std::vector<std::string> query = {"reg", "query", key};
  if (name.empty()) {
    query.push_back("/ve");
  } else {
    query.insert(query.end(), {"/v", name});
  }
  query.push_back(view);
  const Output output = RunWindows(query);
  if (output.exitCode != 0) {
    return std::nullopt;
  }
  // reg prints a value as four blanks, the name, four blanks, the type, four blanks, the data.
  std::istringstream lines(output.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    const std::size_t type = line.find("    REG_");
    if (line.rfind("    ", 0) != 0 || type == std::string::npos || type < 4) {
      continue;
    }
    if (!name.empty() && AsciiLower(line.substr(4, type - 4)) != AsciiLower(name)) {
      continue;
    }
    const std::size_t data = line.find("    ", type + 4);
    if (data == std::string::npos) {
      return RegData{line.substr(type + 4), ""};
    }
    return RegData{line.substr(type + 4, data - type - 4), line.substr(data + 4)};
  }
  return std::nullopt;
}

std::optional<std::string> RegValue(const std::string& key, const std::string& name,
                                    const std::string& view) {
  const std::optional<RegData> entry = RegEntry(key, name, view);
  return entry ? std::optional<std::string>(entry->data) : std::nullopt;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> NewNames(const std::vector<std::string>& now,
                                  const std::vector<std::string>& before) {
  std::vector<std::string> added;
  for (const std::string& name : now) {
    if (std::find(before.begin(), before.end(), name) == before.end()) {
      added.push_back(name);
    }
  }
  return added;
}

std::string WindowsPath(const fs::path& hostPath) {
  const fs::path path = fs::absolute(hostPath).lexically_normal();
  const fs::path driveC = (TheBench().prefix / "drive_c").lexically_normal();
  const fs::path inside = path.lexically_relative(driveC);
  std::string windows;
  if (!inside.empty() && *inside.begin() != "..") {
    windows = "C:\\" + (inside == "." ? std::string() : inside.string());
  } else {
    windows = "Z:" + path.string();
  }
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

fs::path HostPath(const std::string& windowsPath) {
  std::string rest = windowsPath.size() > 2 ? windowsPath.substr(3) : std::string();
  std::replace(rest.begin(), rest.end(), '\\', '/');
  const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
  if (drive == 'c') {
    return TheBench().prefix / "drive_c" / rest;
  }
  return fs::path("/") / rest;
}

fs::path TempFolder() {
  // GetTempPath's first choice is TMP; Wine sets it from the prefix's registry.
  static const fs::path temp = [] {
    const Output output = RunWindows({"cmd", "/c", "echo %TMP%"});
    std::string path = output.out;
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) {
      path.pop_back();
    }
    return path.size() > 3 && path[1] == ':' ? HostPath(path) : fs::path();
  }();
  return temp;
}

void WriteManyFileDistribution(const fs::path& from, const fs::path& to, int count) {
  fs::copy(from, to, fs::copy_options::recursive);
  fs::create_directory(to / "Many");
  for (int i = 0; i < count; ++i) {
    WriteAll(to / "Many" / ("file" + std::to_string(i) + ".dat"), std::string(512, 'm'));
  }
  WriteAll(to / "PictvUnInst.log",
           ReadAll(to / "PictvUnInst.log") + "Make Dir: Many\r\nFile Copy: Many\\*.dat\r\n");
}

std::string InstalledLog(const std::string& manifest, const std::string& groupWin,
                         const std::string& desktopLinkWin) {
  std::string log = manifest + "\r\n" + "Made Dir: " + groupWin + "\r\n";
  for (const char* name :
       {"Pictavo 6", "Pictavo 6 Help", "Read about Pictavo 6", "Uninstall Pictavo 6"}) {
    log += "Shell Link: " + groupWin + "\\" + name + ".lnk\r\n";
  }
  return log + "Shell Link: " + desktopLinkWin + "\r\n";
}

FolderState SnapshotFolder(const fs::path& folder) {
  FolderState state;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path relative = it->path().lexically_relative(folder);
    if (it->is_directory()) {
      state[relative.string()] = "folder";
    } else {
      const auto time = fs::last_write_time(it->path(), error).time_since_epoch().count();
      state[relative.string()] =
          "file size=" + std::to_string(it->file_size(error)) + " time=" + std::to_string(time);
    }
  }
  return state;
}

std::vector<std::string> FilesMatching(const fs::path& folder, const std::string& pattern) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTemporaryCopies(const std::vector<std::string>& before) {
  for (const std::string& name : NewNames(FilesMatching(TempFolder(), "uni*.tmp"), before)) {
    RunWindows({"taskkill", "/f", "/im", name});
    std::error_code error;
    fs::remove(TempFolder() / name, error);
  }
}

std::string RegRemoval(const std::vector<std::string>& keys, bool pendingBefore) {
  std::string reg = "Windows Registry Editor Version 5.00\n";
  for (const std::string& key : keys) {
    reg += "\n[-" + key + "]\n";
  }
  if (!pendingBefore) {
    reg += "\n[" + std::string(kSessionManager) + "]\n\"PendingFileRenameOperations\"=-\n";
  }
  return reg;
}

void WineTest::SetUp() {
  const Bench& found = TheBench();
  if (!found.problem.empty()) {
    if (InCi()) {
      GTEST_FAIL() << "the Wine test bench is incomplete: " << found.problem;
    }
    GTEST_SKIP() << "the Wine test bench is incomplete: " << found.problem;
  }
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  folder_ = found.prefix / "drive_c" / "e2e" /
            (std::string(test->test_suite_name()) + "." + test->name());
  // "setup.exe" in the path would turn any program started from the folder into the
  // installer.
  ASSERT_EQ(AsciiLower(folder_.string()).find("setup.exe"), std::string::npos) << folder_;
  std::error_code error;
  fs::remove_all(folder_, error);
  ASSERT_TRUE(fs::create_directories(folder_, error)) << folder_ << ": " << error.message();
}

void WineTest::TearDown() {
  if (folder_.empty() || std::getenv("PICTAVO_E2E_KEEP") != nullptr) {
    return;
  }
  std::error_code error;
  fs::remove_all(folder_, error);
  fs::remove(folder_.parent_path(), error);  // only when no other test's folder is left
}

}  // namespace e2e
