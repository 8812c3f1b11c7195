// Reading a whole input: a file named by the user, or standard input.
#pragma once

#include <cstddef>
#include <string>

namespace os {

// Reads the whole file (or, for ReadStandardInput, standard input) into contents, as
// bytes. False when it cannot be opened or read, or holds more than limit bytes.
bool ReadFileBytes(const std::string& path, std::size_t limit, std::string* contents);
bool ReadStandardInput(std::size_t limit, std::string* contents);

}  // namespace os
