#include "storage/HeaderLine.h"

#include "language/StringTokenizer.h"

namespace relalg {

HeaderLine::HeaderLine(std::string_view line) {
  StringTokenizer tokens(line);
  if (!tokens.hasMoreTokens()) return;
  name = tokens.nextToken();
  while (tokens.hasMoreTokens()) {
    Column column{};
    column.name = tokens.nextToken();
    column.type = tokens.nextToken();
    column.integer = column.type == "int";
    if (!column.integer) column.width = tokens.nextToken();
    columns.push_back(column);
  }
}

}  // namespace relalg
