#include "instances/close_instances.h"

#include "engine/busy_mark.h"
#include "engine/format_text.h"
#include "resources/catalogue.h"

namespace {

constexpr unsigned kPauseAfterCloseRequest = 10;
// How long a terminated program may take to let go of its files.
constexpr unsigned kEndWait = 5000;

// The listed programs other than this one that are still the product's: a process shows that
// by its main window. An entry left by a program that crashed may since name an unrelated
// process, which must never be asked about, sent the request or ended.
std::vector<std::uint32_t> ConfirmedOthers(COXInstanceManager& instances,
                                           const std::vector<std::uint32_t>& listed,
                                           unsigned ownId) {
  std::vector<std::uint32_t> confirmed;
  for (std::uint32_t id : listed) {
    if (id != ownId && instances.FindMainWindow(id) != platform::kNoWindow) {
      confirmed.push_back(id);
    }
  }
  return confirmed;
}

bool UserAllowsClosing(platform::Platform& platform, int count) {
  platform::UserInterface& ui = platform.ui;
  const std::string caption = ui.LoadString(catalogue::kSetupCaption, catalogue::kCaptionCapacity);
  const std::string question =
      count == 1 ? ui.LoadString(catalogue::kOneInstanceOpen, catalogue::kMessageCapacity)
                 : FormatText(ui.LoadString(catalogue::kInstancesOpen, catalogue::kMessageCapacity),
                              {count});
  if (ui.MessageBox(platform::kNoWindow, question, caption,
                    {platform::Buttons::YesNo, platform::Icon::Warning,
                     platform::DefaultButton::First}) == platform::BoxResult::Yes) {
    return true;
  }
  ui.MessageBox(platform::kNoWindow,
                ui.LoadString(catalogue::kSetupAborted, catalogue::kMessageCapacity), caption,
                {platform::Buttons::Ok, platform::Icon::Information});
  return false;
}

// Asks the product's program `id` to close, and ends it when it does not close at once. Opened
// before anything is asked of it: while this handle is open the id cannot pass to another
// program, so the process confirmed, waited for and ended is the product.
void CloseProgram(platform::Session& session, COXInstanceManager& instances, std::uint32_t id) {
  const platform::KernelHandle process =
      session.OpenProcess(id, platform::kProcessTerminate | platform::kSynchronize);
  if (process == platform::kNoHandle) {
    return;
  }
  const platform::WindowHandle window = instances.FindMainWindow(id);
  if (window != platform::kNoWindow) {
    session.PostMessage(window, platform::kMessageClose, kSetupCloseCode, 0);
    // The pause after the request, cut short when the program closes by itself.
    if (!session.WaitForProcessEnd(process, kPauseAfterCloseRequest)) {
      session.TerminateProcess(process, 0);
      // Until it has ended its files stay in use, and the installation would have to leave
      // them for the next start, or the removal leave them behind.
      session.WaitForProcessEnd(process, kEndWait);
    }
  }
  session.CloseHandle(process);
}

}  // namespace

CloseResult CloseRunningInstances(framework::Application& app, COXInstanceManager& instances,
                                  bool askBeforeClosing) {
  platform::Platform& platform = app.GetPlatform();
  // Ending a setup that installs or removes would leave the product half written.
  if (AnotherSetupIsBusy(platform.session)) {
    return CloseResult::Busy;
  }
  // Decided by the listed ids other than this process's own, not by the count less one: a
  // product that made the list just before this process joined resets it and drops this entry.
  platform::Session& session = platform.session;
  const unsigned ownId = session.CurrentProcessId();
  std::vector<std::uint32_t> listed;
  if (!instances.ListInstances(listed)) {
    return CloseResult::Continue;
  }
  const std::size_t others = ConfirmedOthers(instances, listed, ownId).size();
  if (others == 0) {
    return CloseResult::Continue;
  }
  if (askBeforeClosing && !UserAllowsClosing(platform, static_cast<int>(others))) {
    return CloseResult::End;
  }

  // Listed again: programs may have started or ended while the question was open.
  if (!instances.ListInstances(listed)) {
    return CloseResult::Continue;
  }
  for (std::uint32_t id : listed) {
    if (id != ownId) {
      CloseProgram(session, instances, id);
    }
  }
  return CloseResult::Continue;
}
