#include "wizard/folder_dlg.h"

#include "engine/distribution.h"
#include "engine/paths.h"
#include "resources/catalogue.h"

namespace {

constexpr char kVersion4Program[] = "Pictv.exe";
constexpr char kVersion5Program[] = "Pictv5.exe";
constexpr std::size_t kPatternBuffer = 520;

// The shell's folder browser with an edit box that accepts only existing file-system folders,
// and the new style's "Make New Folder" button.
constexpr std::uint32_t kBrowseFlags = platform::kBrowseReturnOnlyFileSystemFolders |
                                       platform::kBrowseEditBox | platform::kBrowseValidate |
                                       platform::kBrowseNewDialogStyle;

// True for a folder made since `since`, as the browser's "Make New Folder" makes one; false for
// one the user had before, and for a junction or any other link, which RemoveDirectory would
// take away however full the folder it leads to.
bool MadeSince(platform::FileSystem& files, const std::string& folder, std::uint64_t since) {
  const std::vector<platform::FoundFile> found = files.FindFiles(folder);
  constexpr std::uint32_t kKind = platform::kAttributeDirectory | platform::kAttributeReparsePoint;
  return found.size() == 1 && found[0].created >= since &&
         (found[0].attributes & kKind) == platform::kAttributeDirectory;
}

}  // namespace

int CountFolderEntries(platform::FileSystem& files, const std::string& folder) {
  std::string pattern = folder + "\\*";
  if (pattern.size() >= kPatternBuffer) {
    pattern.resize(kPatternBuffer - 1);
  }
  int count = 0;
  for (const platform::FoundFile& entry : files.FindFiles(pattern)) {
    if (entry.name != "." && entry.name != "..") {
      ++count;
    }
  }
  return count;
}

void CFolderDlg::DoDataExchange(framework::DataExchange& exchange) {
  exchange.Control(layout::kDestination, destination_);
  exchange.Radio({layout::kCurrentUserOnly, layout::kAllUsers}, installFor_);
}

bool CFolderDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  savedHint_ = Dialogs().GetText(Item(layout::kFolderHint));
  UpdateFolderHint();
  Dialogs().SetText(destination_, options_.InstallFolder);
  installFor_ = options_.AllUsers ? 1 : 0;
  UpdateData(false);
  return true;
}

bool CFolderDlg::DestroyWindow() {
  UpdateData(true);
  options_.AllUsers = installFor_ == 1;
  return CDialog::DestroyWindow();
}

void CFolderDlg::OnClicked(int id) {
  if (id == layout::kBrowse) {
    Browse();
  }
}

void CFolderDlg::UpdateFolderHint() {
  platform::FileSystem& files = App().GetPlatform().files;
  const bool previousCopy =
      !options_.NewInstall &&
      PathExists(files, options_.InstallFolder + "\\" + distribution::kProductProgram);
  Dialogs().SetText(Item(layout::kFolderHint),
                    previousCopy ? App().LoadString(catalogue::kPreviousCopyHere) : savedHint_);
}

void CFolderDlg::Browse() {
  platform::FileSystem& files = App().GetPlatform().files;
  // The browser can only select a folder that exists. Only a folder made here for it goes
  // again: an empty folder the user had before stays.
  const bool made = files.CreateDirectory(options_.InstallFolder);
  const std::uint64_t browsing = App().GetPlatform().system.GetSystemTimeAsFileTime();
  const platform::BrowseResult result = Dialogs().BrowseForFolder(
      Handle(), App().LoadString(catalogue::kBrowseInstruction), kBrowseFlags, *this);
  if (made) {
    files.RemoveDirectory(options_.InstallFolder);
  }
  if (!result.chosen || !result.path) {
    return;
  }
  std::string folder = *result.path;
  // A folder just made in the browser goes again, if still empty; the installation makes it
  // when it runs.
  if (MadeSince(files, folder, browsing)) {
    files.RemoveDirectory(folder);
  }
  if (PathExists(files, folder + "\\" + kVersion4Program) ||
      PathExists(files, folder + "\\" + kVersion5Program)) {
    App().MessageBox(catalogue::kOldVersionFolder,
                     {platform::Buttons::Ok, platform::Icon::Warning});
    return;
  }
  if (!PathExists(files, folder + "\\" + distribution::kProductProgram) &&
      CountFolderEntries(files, folder) > 0) {
    folder += "\\";
    folder += distribution::kProductFolder;
  }
  options_.InstallFolder = folder;
  Dialogs().SetText(destination_, folder);
  UpdateFolderHint();
}

void CFolderDlg::OnBrowserInitialized(platform::WindowHandle browser) {
  Dialogs().BrowseSelect(browser, options_.InstallFolder);
}

bool CFolderDlg::OnValidateFailed(platform::WindowHandle, const std::string&) {
  App().MessageBox(catalogue::kInvalidFolder, {platform::Buttons::Ok, platform::Icon::Warning});
  return true;
}
