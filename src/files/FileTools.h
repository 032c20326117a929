// File helpers of the driver: opening and closing files with a uniform failure report, reading
// the whole input at once, and writing the line-by-line copy of the input that heads the output.
// Every failure is an AdbException naming the path as it was given.
#ifndef RELALG_FILES_FILETOOLS_H
#define RELALG_FILES_FILETOOLS_H

#include <fstream>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

std::unique_ptr<std::ifstream> safe_iopen(std::string name);
// Creates the file, or empties an existing one.
std::unique_ptr<std::ofstream> safe_oopen(std::string name);
void safe_iclose(std::unique_ptr<std::ifstream> stream);
// Closes the stream; throws when anything written to it, the last block included, failed.
void safe_oclose(std::unique_ptr<std::ofstream> stream, const std::string& name);
// Throws when a write to the stream has failed.
void check_written(std::ostream& stream, const std::string& name);

// The whole content of a file.
std::string read_file(const std::string& name);

// Writes every line of text followed by a line feed, then one empty line. A carriage return
// ending a line is dropped with its line feed.
void copy_content(std::string_view text, std::ostream& destination);

#endif  // RELALG_FILES_FILETOOLS_H
