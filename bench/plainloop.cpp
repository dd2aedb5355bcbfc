// The yardstick for the setup program's file work: the same files copied or deleted by the
// plainest loop Windows allows, so that the benchmark can tell the setup program's own cost
// from the cost of the file system underneath (Wine's, in the benchmark).
//
//   plainloop copy SRC DST   copies the files of every folder directly under SRC into the
//                            same-named folders under DST (created as needed)
//   plainloop delete DST     deletes the files of every folder directly under DST, and the
//                            folders
//   plainloop none           does nothing: the cost of starting and ending a program
//
// Prints the elapsed milliseconds of the loop alone, without the program's start.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> List(const std::string& folder, bool folders) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return names;
  do {
    const bool is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (is_folder != folders)
      continue;
    if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0)
      continue;
    names.emplace_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

double Milliseconds(LARGE_INTEGER from) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

int Copy(const std::string& source, const std::string& target) {
  int files = 0, failures = 0;
  CreateDirectoryA(target.c_str(), nullptr);
  for (const std::string& folder : List(source, true)) {
    const std::string from = source + "\\" + folder, to = target + "\\" + folder;
    if (!CreateDirectoryA(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      ++failures;
    }
    for (const std::string& name : List(from, false)) {
      ++files;
      // Fail if it exists: the benchmark starts from no target, and overwriting costs more
      // than it says under Wine, which opens the target first to see whether it is the source
      // (on a case-sensitive host, one more scan of the folder for every new file).
      if (!CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), TRUE))
        ++failures;
    }
  }
  std::printf("%d files, %d failures\n", files, failures);
  return failures == 0 ? 0 : 1;
}

int Delete(const std::string& target) {
  int files = 0, failures = 0;
  for (const std::string& folder : List(target, true)) {
    const std::string path = target + "\\" + folder;
    for (const std::string& name : List(path, false)) {
      ++files;
      if (!DeleteFileA((path + "\\" + name).c_str()))
        ++failures;
    }
    if (!RemoveDirectoryA(path.c_str()))
      ++failures;
  }
  if (!RemoveDirectoryA(target.c_str()))
    ++failures;
  std::printf("%d files, %d failures\n", files, failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  int status;
  if (command == "copy" && argc == 4) {
    status = Copy(argv[2], argv[3]);
  } else if (command == "delete" && argc == 3) {
    status = Delete(argv[2]);
  } else if (command == "none" && argc == 2) {
    status = 0;
  } else {
    std::fprintf(stderr, "usage: plainloop copy SRC DST | delete DST | none\n");
    return 2;
  }
  std::printf("elapsed_ms %.1f\n", Milliseconds(start));
  return status;
}
