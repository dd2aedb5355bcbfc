// The application object: the program's one entry decides the run and hands over to it.
#pragma once

#include "app/setup_options.h"
#include "platform/framework.h"

class CSetupApp : public platform::Application {
 public:
  CSetupApp(platform::Platform& platform, SetupOptions& options)
      : Application(platform), options_(options) {}

  bool InitInstance() override;

  SetupOptions& Options() { return options_; }

 private:
  SetupOptions& options_;
};
