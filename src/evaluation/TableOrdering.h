// Record order and repeats over whole tables: the operations on which union, minus, product and
// project are built. Records compare column by column, the first column most significant:
// integers by signed value, strings byte by byte as unsigned bytes. None of them changes the
// table it reads; the tables they return are new and belong to the caller.
#ifndef RELALG_EVALUATION_TABLEORDERING_H
#define RELALG_EVALUATION_TABLEORDERING_H

#include <memory>

#include "storage/Table.h"

namespace relalg {

// Three-way comparison of record i of table with record j of other (the same schema).
int compareRecord(const Table& table, int i, const Table& other, int j);
// Appends record i of table to destination (the same schema); returns 1.
int copyRecord(const Table& table, int i, Table& destination);
// A new table "result" with the records of table in ascending order; equal records keep their
// order.
std::unique_ptr<Table> sortRecords(const Table& table);
// A new table of table's name holding every record that differs from the one before it.
std::unique_ptr<Table> deleteDuplicates(const Table& table);

// Throws the comparison message when right's schema differs from left's.
void checkComparable(const Table& left, const Table& right);

}  // namespace relalg

#endif  // RELALG_EVALUATION_TABLEORDERING_H
