// HeaderLine cuts a header line such as emp(name char(20), age int) into the table's name and its
// columns, as the table is built from it: tokens are cut as in every line (separators " ,()", the
// apostrophe quoting), the first token is the name, and then each column is a name and a type
// word, followed by a width text unless the type word is exactly int. A token asked for past the
// end of the line is empty. The parts are views into the line.
#ifndef RELALG_STORAGE_HEADERLINE_H
#define RELALG_STORAGE_HEADERLINE_H

#include <string_view>
#include <vector>

namespace relalg {

struct HeaderLine {
  struct Column {
    std::string_view name;
    std::string_view type;   // the type word
    std::string_view width;  // empty for an int column
    bool integer;
  };

  // Cuts line; a line without any token has an empty name and no columns (and builds no table).
  explicit HeaderLine(std::string_view line);

  bool named() const { return !name.empty(); }

  std::string_view name;
  std::vector<Column> columns;
};

}  // namespace relalg

#endif  // RELALG_STORAGE_HEADERLINE_H
