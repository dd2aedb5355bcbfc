// An application object for tests that call the logic below the entry directly: it gives the
// logic the framework's strings and message boxes on a simulated process, and has no run.
#pragma once

#include "framework/framework.h"

class TestApp : public framework::Application {
 public:
  using Application::Application;
  bool InitInstance() override { return true; }
};
