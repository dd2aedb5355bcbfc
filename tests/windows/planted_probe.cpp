// Loaded only to see whether the loader finds it beside the program.
extern "C" __declspec(dllexport) int PlantedProbe() {
  return 42;
}
