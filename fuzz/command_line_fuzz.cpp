// Feeds arbitrary bytes as the program's command line to the splitting and to both
// passes of the option scan (start-up and batch), and checks what every caller relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte chooses the system's code page: Shift-JIS (932) or a single-byte one.
  if (size == 0) return 0;
  const LeadByteTest lead_byte = (data[0] & 1) ? is_shift_jis_lead_byte : is_single_byte_lead_byte;
  // The platform hands over a zero-terminated line: it ends at the first zero byte.
  const std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::vector<std::string> words = split_command_line(line.c_str(), lead_byte);
  const size_t length = std::char_traits<char>::length(line.c_str());
  if (words.size() > static_cast<size_t>(kMaxCommandWords)) std::abort();
  size_t characters = 0;
  for (const std::string& word : words) characters += word.size();
  if (characters > length) std::abort();  // quoting only ever removes characters

  StartOptions options;
  size_t index = scan_options(words, options);
  if (index < 1 || (!words.empty() && index > words.size())) std::abort();
  if (options.initial_density < 0 || options.initial_density > 254) std::abort();
  if (options.batch) {
    std::string output;
    index = scan_batch_output(words, index, options, output);
    if (index > words.size()) std::abort();
    if (!output.empty() && output[0] == '/') std::abort();
  }
  if (options.mode < 0 || options.mode > 2) std::abort();
  if (options.arrangement != 202 && options.arrangement != 203) std::abort();
  if (!options.file.empty() && options.file[0] == '/') std::abort();
  return 0;
}
