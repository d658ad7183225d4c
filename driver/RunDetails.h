#pragma once
// The details of a failed run, for the error box's "Show details": the command as run, the exit
// code and its meaning, and the archiver's error and output text. No password is ever shown.

#include <string>
#include <string_view>
#include <vector>

namespace rundetails {

// The text with the values of the password switches (-g..., -jg...) and every known password
// replaced by "***". "-g-", "-jg-" and a bare "-jg" stay as they are.
std::string MaskPasswords(std::string_view text, const std::vector<std::string>& passwords);

// What the archiver's exit code (or the runner's own codes) means, in a few words.
std::string ExitCodeMeaning(int exitCode);

// The last part of a file, at most maxBytes, marked as cut; "" when it cannot be read.
std::string TailOfFile(const std::string& path, size_t maxBytes);

// The whole details text. command and argumentLine come already masked.
std::string DetailsText(const std::string& command, const std::string& argumentLine, int exitCode,
                        const std::string& errorText, const std::string& outputText);

}  // namespace rundetails
