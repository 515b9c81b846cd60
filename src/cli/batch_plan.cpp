#include "cli/batch_plan.h"

#include <sys/stat.h>

#include <cstdlib>

#include "pipeline/pipeline_texts.h"
#include "cli/temp_files.h"

namespace {

std::string file_key(const struct stat& st) { return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino); }

// What a target will be once written: the file it is (links followed), or the
// name it will get in its folder as the folder really is.
std::string target_key(const std::string& target) {
  struct stat st;
  if (stat(target.c_str(), &st) == 0) return file_key(st);
  const std::string folder = folder_of(target);
  char* real = realpath(folder.c_str(), nullptr);
  if (!real) return "name:" + target;
  std::string key = std::string("name:") + real + "/" + target.substr(target.find_last_of('/') + 1);
  std::free(real);
  return key;
}

// Regular files only: a pipe or a device is read whole before anything is written.
std::string input_key(const std::string& input) {
  struct stat st;
  if (input == "-" || stat(input.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
  return file_key(st);
}

}  // namespace

std::vector<std::string> check_batch(const std::vector<std::string>& inputs, const std::vector<std::string>& targets) {
  const size_t n = inputs.size();
  std::vector<std::string> ins(n), outs(n), reasons(n);
  for (size_t i = 0; i < n; ++i) {
    ins[i] = input_key(inputs[i]);
    if (targets[i] != "-") outs[i] = target_key(targets[i]);
  }
  for (size_t i = 0; i < n; ++i) {
    if (outs[i].empty()) continue;
    for (size_t j = 0; j < n && reasons[i].empty(); ++j) {
      if (outs[i] == ins[j]) {
        reasons[i] = "the output " + quoted_name(targets[i]) + " would replace the input" +
                     (i == j ? "" : " " + quoted_name(inputs[j]));
      }
    }
    for (size_t j = 0; j < n && reasons[i].empty(); ++j) {
      if (j != i && outs[i] == outs[j]) {
        reasons[i] = "the output " + quoted_name(targets[i]) + " would also be the output of " + quoted_name(inputs[j]);
      }
    }
  }
  return reasons;
}
