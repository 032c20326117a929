// Lowering turns a parsed notation program into core nodes whose one line gives, on every
// database of the file's schemas, exactly the relation that the program means.
//
// Textbook operators have set semantics: a relation counts as the set of its records, and the
// lowering adds a sorting projection (project onto all columns) wherever the core needs a set
// that is not already known to be one: the operands of union and minus, a notation operand of a
// core form, and the query's top. Core forms keep the core's meaning. Per lowered node it keeps
// the schema (names, kinds, widths, and the table, step and ρ names that qualify each column),
// whether its records are known sorted without repeats, and whether it is the catalogue's own
// table, which an in-place rename would change (a renaming that the lowering adds copies first).
// Everything the core would check only on non-empty operands is checked here, before the core
// runs. Steps are lowered once; each use refers to the same core nodes.
#ifndef RELALG_NOTATION_LOWERING_H
#define RELALG_NOTATION_LOWERING_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Messages.h"
#include "notation/CoreTree.h"
#include "notation/NotationProgram.h"

namespace relalg {

struct NotationColumn {
  std::string name;       // as the core line calls it
  std::string shortName;  // as a reader calls it: name without the qualifier a clash added
  bool integer = false;
  std::string width;                    // of a string column
  std::vector<std::string> qualifiers;  // the table, step and ρ names that reach it, latest first
};

// The stored tables by name (the first block of a name), their columns qualified by that name.
using StoredSchemas = std::map<std::string, std::vector<NotationColumn>, std::less<>>;

// The names of columns, in their order.
std::vector<std::string> namesOf(const std::vector<NotationColumn>& columns);

// Reads the schemas of the table blocks of a relalgrun input (the text after its expression
// line), as the catalogue reads them.
StoredSchemas readStoredSchemas(std::string_view blocks);

class Lowering {
 public:
  // The limit on the core text of one step or of the query.
  static constexpr uint64_t kCoreLimit = uint64_t{1} << 20;

  Lowering(const NotationProgram& program, const StoredSchemas& tables);

  // Lowers every statement; returns the core node of the query. Throws NotationError.
  int lower();
  const CoreTree& core() const { return core_; }
  // The fresh names of the line and the columns they stand for, as a reader writes them.
  const std::vector<std::pair<std::string, std::string>>& freshNames() const { return fresh_; }

 private:
  struct Relation {
    int core = -1;
    std::vector<NotationColumn> columns;
    std::string tableName;
    bool set = false;             // records sorted without repeats
    bool notation = false;        // made by a textbook operator: its records count as a set
    std::string stored;           // the stored table whose catalogue object this is, or empty
    std::vector<int> aliasSteps;  // the steps passed on the way to that object
  };
  struct Step {
    std::string name;
    size_t line;
    Relation relation;
    int uses = 0;
  };
  struct InPlaceRename {
    int node;
    std::string table;
    std::vector<int> steps;
  };

  void checkStatement(size_t index);
  Relation lowerExpression(int root);
  Relation combine(int id, std::vector<Relation>& done);
  Relation name(int id);
  Relation select(int id, Relation operand);
  Relation project(int id, Relation operand);
  Relation rename(int id, Relation operand);
  Relation product(int id, Relation left, Relation right, bool user);
  Relation naturalJoin(int id, Relation left, Relation right);
  Relation semijoin(int id, Relation left, const Relation& right, bool user);
  Relation antijoin(int id, Relation left, const Relation& right);
  Relation divide(int id, Relation left, const Relation& right);
  Relation setOperation(int id, Relation left, Relation right);
  Relation coreForm(int id, Relation left, Relation right);
  Relation coreParameterForm(int id, Relation operand);
  // The core condition of a σ or θ-join (owner) over columns.
  int condition(int root, const std::vector<NotationColumn>& columns, int owner);
  int compare(int id, const std::vector<NotationColumn>& columns, int owner);
  int matchAll(int id, const std::vector<std::string>& left, const std::vector<std::string>& right);
  int pairUp(int id, const Relation& left, const Relation& right, bool user);

  void makeSet(Relation& relation, int at);
  // The table name of the renamings that the lowering adds.
  static CorePiece scaffoldTable();
  // Whether every ')' of text closes a '(' before it and every '(' is closed.
  static bool bracketsPair(std::string_view text);
  void checkOperand(int id, const Relation& relation);
  std::vector<std::pair<std::string, std::string>> commonColumns(int id, const Relation& left,
                                                                 const Relation& right);
  // Index of the column a reference names, or -1 for none; throws when several fit.
  int resolve(int id, const NotationWord& word, const std::vector<NotationColumn>& columns,
              bool mustExist);
  std::string freshName(const NotationColumn& column);
  std::string display(const NotationColumn& column) const;
  std::string columnList(const std::vector<NotationColumn>& columns) const;
  std::vector<CorePiece> pieces(const std::vector<NotationColumn>& columns, int origin) const;
  std::vector<CorePiece> pieces(const std::vector<std::string>& names, int origin) const;
  Origin origin(int id, bool user) const;
  Origin wordOrigin(int id, const NotationWord& word) const;
  std::string_view op(int id) const { return program_.opText(program_.node(id)); }
  [[noreturn]] void failAtOperator(int id, MessageId what,
                                   std::initializer_list<std::string_view> args) const;
  void checkInPlaceRenames() const;

  const NotationProgram& program_;
  const StoredSchemas& tables_;
  CoreTree core_;
  std::vector<Step> steps_;
  std::map<std::string, int, std::less<>> stepIndex_;
  std::map<std::string, int, std::less<>> tableMentions_;
  std::vector<InPlaceRename> inPlace_;
  std::set<std::string, std::less<>> taken_;
  std::vector<std::pair<std::string, std::string>> fresh_;
  size_t statement_ = 0;
};

}  // namespace relalg

#endif  // RELALG_NOTATION_LOWERING_H
