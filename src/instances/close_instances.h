#pragma once

namespace platform {
class Application;
}

enum class CloseResult { Continue, End };

// Closes the other running instances of the product before files are installed or removed.
// End only when the run must not go on.
CloseResult CloseRunningInstances(platform::Application& app, bool installMode);
