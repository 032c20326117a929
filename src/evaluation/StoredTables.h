// StoredTables is what an evaluation needs of the catalogue: the stored tables by name, lent or
// handed over for good. Threads may use it at once for different names.
#ifndef RELALG_EVALUATION_STOREDTABLES_H
#define RELALG_EVALUATION_STOREDTABLES_H

#include <string_view>

#include "evaluation/TableHandle.h"

namespace relalg {

class StoredTables {
 public:
  // The stored table of that name: taken out of the catalogue when the evaluation at work
  // reaches it only once and mayTake allows it, else borrowed. Throws AdbException when there
  // is no table of that name.
  virtual TableHandle useTable(std::string_view name, bool mayTake) = 0;
  // The stored table of that name, or null (also for a table taken out of the catalogue).
  virtual Table* findTable(std::string_view name) const = 0;
  // Releases the table of that name when the evaluation at work reaches it only once and it is
  // still stored: for a table borrowed where it could not be taken. No other thread may use the
  // catalogue meanwhile.
  virtual void releaseIfReachedOnce(std::string_view name) = 0;

 protected:
  ~StoredTables() = default;
};

}  // namespace relalg

#endif  // RELALG_EVALUATION_STOREDTABLES_H
