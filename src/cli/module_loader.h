// The command's modules: libraries beside it, loaded on first need, so that its start
// does not load what most runs never use.
#ifndef QVX_CLI_MODULE_LOADER_H
#define QVX_CLI_MODULE_LOADER_H

// Loads `file` from the command's folder and returns its function `entry` (to be
// called as what it is), or null when the module is missing, won't load or lacks it.
// The module stays loaded until the process ends.
void* module_entry_beside_command(const char* file, const char* entry);

// Calls the module's entry, a function returning a pointer to T; null when it can't be had.
template <class T>
const T* load_module_beside_command(const char* file, const char* entry) {
  using Entry = const T* (*)();
  void* function = module_entry_beside_command(file, entry);
  return function ? reinterpret_cast<Entry>(function)() : nullptr;
}

#endif
