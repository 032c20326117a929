// File helpers of the driver: opening and closing files with a uniform failure report, opening
// the input (read whole or where it lies), and writing the line-by-line copy of the input that
// heads the output.
// Every failure is an AdbException naming the path as it was given.
#ifndef RELALG_FILES_FILETOOLS_H
#define RELALG_FILES_FILETOOLS_H

#include <fstream>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "files/InputSource.h"
#include "files/ReadHashes.h"

namespace relalg {

std::unique_ptr<std::ifstream> safe_iopen(std::string name);
// Creates the file, or empties an existing one.
std::unique_ptr<std::ofstream> safe_oopen(std::string name);
void safe_iclose(std::unique_ptr<std::ifstream> stream);
// Closes the stream; throws when anything written to it, the last block included, failed.
void safe_oclose(std::unique_ptr<std::ofstream> stream, const std::string& name);
// Throws when a write to the stream has failed.
void checkWritten(std::ostream& stream, const std::string& name);

// The whole content of a file.
std::string readFile(const std::string& name);
// Opens the input file of a run whose output goes to outputPath. A regular file other than the
// output is read where it lies; anything else (a pipe, a device, a file that tells no size, or
// the very file that opening the output will empty) is read whole at once. Throws AdbException
// naming the path as given when the file cannot be opened or read.
std::unique_ptr<InputSource> openInput(const std::string& path, const std::string& outputPath);

// Writes every line of the source followed by a line feed, then one empty line. A carriage
// return ending a line is dropped with its line feed. The source is read a window at a time;
// given a check, every byte read is checked against an earlier pass.
void copy_content(const InputSource& source, std::ostream& destination,
                  ReadHashes::Check* check = nullptr);
void copy_content(std::string_view text, std::ostream& destination);

}  // namespace relalg

#endif  // RELALG_FILES_FILETOOLS_H
