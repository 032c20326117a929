#include "storage/HeaderLine.h"

#include "language/StringTokenizer.h"

namespace relalg {

HeaderLine::HeaderLine(std::string_view line) {
  StringTokenizer tokens(line);
  if (!tokens.hasMoreTokens()) return;
  name = tokens.nextView();
  while (tokens.hasMoreTokens()) {
    Column column{};
    column.name = tokens.nextView();
    column.type = tokens.nextView();
    column.integer = column.type == "int";
    if (!column.integer) column.width = tokens.nextView();
    columns.push_back(column);
  }
}

}  // namespace relalg
