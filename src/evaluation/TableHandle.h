// TableHandle is the table that one step of an evaluation produced: either borrowed (a table that
// the catalogue keeps, which a rename may have changed in place) or owned by the handle (a new
// table of an operator, or a stored table that the evaluation took over). A rename yields the
// handle of its operand itself. Invariant: an owning handle's get() is the table it owns, and
// get() is null only for an empty handle. Moving a handle moves the ownership with it.
#ifndef RELALG_EVALUATION_TABLEHANDLE_H
#define RELALG_EVALUATION_TABLEHANDLE_H

#include <cassert>
#include <memory>

#include "storage/Table.h"

namespace relalg {

class TableHandle {
 public:
  TableHandle() = default;

  static TableHandle borrowed(Table* table) {
    assert(table != nullptr);
    TableHandle handle;
    handle.table_ = table;
    return handle;
  }
  static TableHandle owned(std::unique_ptr<Table> table) {
    assert(table != nullptr);
    TableHandle handle;
    handle.table_ = table.get();
    handle.owned_ = std::move(table);
    return handle;
  }

  Table* get() const {
    assert(owned_ == nullptr || owned_.get() == table_);
    return table_;
  }
  Table* operator->() const { return get(); }
  Table& operator*() const { return *get(); }
  explicit operator bool() const { return table_ != nullptr; }
  bool owns() const { return owned_ != nullptr; }

 private:
  Table* table_ = nullptr;
  std::unique_ptr<Table> owned_;
};

}  // namespace relalg

#endif  // RELALG_EVALUATION_TABLEHANDLE_H
