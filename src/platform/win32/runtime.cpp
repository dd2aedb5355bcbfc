// Size matters for a downloaded setup program. The logic uses no exceptions, yet the prebuilt
// libstdc++ would link its whole throwing machinery (unwinder, demangling terminate handler,
// exception objects) for the few library paths that can throw. These definitions take their
// place in setup.exe: a failure that would have thrown ends the program instead.
#include <cstdlib>
#include <new>
#include <string>

// Instantiated here, with unused members dropped by the linker, instead of taking the
// library's prebuilt copy, which drags the exception machinery in.
template class std::basic_string<char>;

namespace std {
void __throw_bad_alloc() {
  abort();
}
void __throw_bad_array_new_length() {
  abort();
}
void __throw_length_error(const char*) {
  abort();
}
void __throw_logic_error(const char*) {
  abort();
}
void __throw_out_of_range(const char*) {
  abort();
}
void __throw_out_of_range_fmt(const char*, ...) {
  abort();
}
void __throw_invalid_argument(const char*) {
  abort();
}
// An empty std::function called: the dialogs' bindings use them.
void __throw_bad_function_call() {
  abort();
}
}  // namespace std

void* operator new(std::size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) {
    std::abort();
  }
  return block;
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
