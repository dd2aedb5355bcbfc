// The application object: the program's one entry decides the run and hands over to it.
#pragma once

#include "engine/helpers.h"
#include "engine/setup_options.h"
#include "instances/instance_manager.h"
#include "platform/framework.h"

class CSetupApp : public platform::Application {
 public:
  CSetupApp(platform::Platform& platform, SetupOptions& options, const Wow64Query& wow64,
            COXInstanceManager& instances)
      : Application(platform), options_(options), wow64_(wow64), instances_(instances) {}

  bool InitInstance() override;

  SetupOptions& Options() { return options_; }
  const Wow64Query& Wow64() const { return wow64_; }

 private:
  SetupOptions& options_;
  const Wow64Query& wow64_;
  COXInstanceManager& instances_;
};
