// One fuzz input on a fresh simulated machine: the distribution and an earlier installation
// laid down from its bytes, the silent installation, then the silent removal with its
// temporary copy and the next system start, each checked against the machine before.
#pragma once

#include <string>
#include <vector>

#include "fuzz_input.h"
#include "platform/sim/machine.h"

namespace fuzz {

// What a run of the program may change: the install folder and what lies in it, the program
// group folders (with the levels of a nested group), and what lies in the Startup folders and
// on the Desktops (not those folders themselves). An update may take an empty group from the
// earlier log, whose shortcut lay in the Programs folder itself: then the group's shortcuts,
// by their names, lie there. Paths are full; they are compared without
// regard to letter case, "." and ".." steps worked out.
struct AllowedPlaces {
  std::string installFolder;
  // WININIT.INI in the Windows folder, where operations at the next start go when they cannot
  // be recorded otherwise; what its rename section names is checked on its own.
  std::string restartFile;
  std::vector<std::string> groupFolders;
  std::vector<std::string> groupLevels;     // only the folders themselves, not what lies in them
  std::vector<std::string> groupShortcuts;  // the group's shortcuts when it is a Programs folder
  std::vector<std::string> shortcutFolders;
  // The Programs folders themselves: a log may name any group in them, and its shortcuts and
  // folders may go there (never come), as nothing tells one program's group from another's.
  std::vector<std::string> programMenus;
};

// The places for this install folder and these group names, under the Programs folder of all
// users and of every user; a group name reaching out of its Programs folder gives nothing.
AllowedPlaces ProductPlaces(sim::Machine& machine, const std::string& installFolder,
                            const std::vector<std::string>& groupNames);

// The lines of two machine snapshots (sim::Machine::Snapshot) that one has and the other lacks,
// "+ " for the added and "- " for the gone, leaving out the allowed places and the product's
// registry keys (its own key under every user and HKLM, the company key when it comes or goes
// empty, its App Paths, Uninstall and document class entries).
std::vector<std::string> ChangesOutside(std::vector<std::string> before,
                                        std::vector<std::string> after,
                                        const AllowedPlaces& places);

// The entries of WININIT.INI's rename section ("target=source", "NUL=path") that name a path
// outside the allowed places.
std::vector<std::string> RestartEntriesOutside(sim::Machine& machine, const AllowedPlaces& places);

// Lays the input down on a fresh machine, installs and removes silently. Returns what went
// wrong, one line each (a change outside the allowed places, a registry handle left open, a
// silent run that met the user); empty when nothing did.
std::vector<std::string> RunScenario(const FuzzInput& input);

}  // namespace fuzz
