// Checks a batch before anything is written: no output may replace one of the
// inputs, and no two inputs may be written to the same file.
#ifndef QVX_CLI_BATCH_PLAN_H
#define QVX_CLI_BATCH_PLAN_H

#include <string>
#include <vector>

// Returns, for each input, the reason it must not be converted (empty when it
// may). targets[i] is the output of inputs[i]; "-" is standard input or output.
std::vector<std::string> check_batch(const std::vector<std::string>& inputs, const std::vector<std::string>& targets);

#endif
