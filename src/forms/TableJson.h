// A table as JSON for the browser page, so that the page never reads record lines itself:
//   {"name", "columns": [{"name", "type": "int" | "char(W)"}], "count",
//    "records": [[the values of a record, each as relalgrun writes it], ...]}
// with at most limit records. The texts are read as UTF-8 when every one of them is valid UTF-8,
// else as Windows-1250 (as the page reads the output file).
#ifndef RELALG_FORMS_TABLEJSON_H
#define RELALG_FORMS_TABLEJSON_H

#include <cstddef>
#include <string>
#include <vector>

#include "storage/Table.h"

namespace relalg {

std::string tableJson(const Table& table, size_t limit);

}  // namespace relalg

#endif  // RELALG_FORMS_TABLEJSON_H
