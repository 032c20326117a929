#include "grading/Constraints.h"

#include <cassert>
#include <map>
#include <set>

#include "storage/HeaderLine.h"

namespace relalg {

namespace {

using Values = std::vector<std::string>;

// The words of a requirement: names, and each of the marks ( ) , alone.
std::vector<std::string_view> wordsOf(std::string_view text) {
  std::vector<std::string_view> words;
  for (size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++at;
    } else if (c == '(' || c == ')' || c == ',') {
      words.push_back(text.substr(at++, 1));
    } else {
      const size_t end = std::min(text.find_first_of(" \t\r(),", at), text.size());
      words.push_back(text.substr(at, end - at));
      at = end;
    }
  }
  return words;
}

class RequirementReader {
 public:
  RequirementReader(std::string_view text, const DataSet& exercise)
      : words_(wordsOf(text)), exercise_(exercise) {}

  bool atEnd() const { return at_ == words_.size(); }
  std::string_view peek() const { return atEnd() ? std::string_view() : words_[at_]; }
  std::string_view take() { return atEnd() ? std::string_view() : words_[at_++]; }

  void expect(std::string_view word, std::string_view what) {
    if (take() != word) fail("expected " + std::string(what) + ", found " + found(-1));
  }
  [[noreturn]] void fail(std::string what) const { throw ConstraintError{std::move(what)}; }
  // The word at offset from the next one, quoted, or "the end".
  std::string found(int offset) const {
    const size_t place = at_ + static_cast<size_t>(offset);
    return place < words_.size() ? "'" + std::string(words_[place]) + "'" : "the end";
  }

  const TableData& table(std::string_view name) {
    for (const TableData& table : exercise_.tables()) {
      if (table.name == name) return table;
    }
    fail(name.empty() ? "expected a table's name, found the end"
                      : "no table is named " + std::string(name));
  }

  // TABLE(COLUMN {, COLUMN}): the table's name and the places of the columns.
  std::pair<std::string, std::vector<size_t>> columnsOf() {
    const TableData& data = table(take());
    const HeaderLine header(data.header);
    expect("(", "'(' and the columns of " + data.name);
    std::vector<size_t> places;
    do {
      const std::string_view name = take();
      size_t place = 0;
      while (place < header.columns.size() && header.columns[place].name != name) ++place;
      if (place == header.columns.size()) {
        fail(data.name + " has no column " + (name.empty() ? "''" : std::string(name)));
      }
      places.push_back(place);
    } while (peek() == "," && take() == ",");
    expect(")", "',' or ')' after the columns of " + data.name);
    return {data.name, places};
  }

 private:
  std::vector<std::string_view> words_;
  size_t at_ = 0;
  const DataSet& exercise_;
};

std::string columnsText(const TableData& table, const std::vector<size_t>& places) {
  const HeaderLine header(table.header);
  std::string text = table.name + "(";
  for (size_t k = 0; k < places.size(); ++k) {
    text += (k > 0 ? ", " : "") + std::string(header.columns[places[k]].name);
  }
  return text + ")";
}

Values valuesAt(const Values& record, const std::vector<size_t>& places) {
  Values values;
  for (size_t place : places) values.push_back(record[place]);
  return values;
}

std::string recordText(const Values& record) {
  std::string text;
  for (const std::string& value : record) text += (text.empty() ? "" : ", ") + value;
  return text;
}

// A requirement's columns of a reference pair up in number and kind.
void checkPairing(const RequirementReader& reader, const TableData& from,
                  const std::vector<size_t>& columns, const TableData& to,
                  const std::vector<size_t>& targets) {
  if (columns.size() != targets.size()) {
    reader.fail(columnsText(from, columns) + " and " + columnsText(to, targets) +
                " have different numbers of columns");
  }
  for (size_t k = 0; k < columns.size(); ++k) {
    if (from.integer[columns[k]] != to.integer[targets[k]]) {
      reader.fail(columnsText(from, {columns[k]}) + " and " + columnsText(to, {targets[k]}) +
                  " hold values of different kinds (int and string)");
    }
  }
}

}  // namespace

size_t tablePlace(const std::vector<TableData>& tables, std::string_view name) {
  size_t place = 0;
  while (place < tables.size() && tables[place].name != name) ++place;
  return place;
}

void Constraints::add(std::string_view declaration, const DataSet& exercise) {
  size_t start = 0;
  do {
    const size_t end = std::min(declaration.find(';', start), declaration.size());
    RequirementReader reader(declaration.substr(start, end - start), exercise);
    start = end + 1;
    const auto findTable = [&](const std::string& name) -> const TableData& {
      return reader.table(name);
    };
    if (reader.peek() == "nonempty") {
      reader.take();
      do {
        const std::string name = findTable(std::string(reader.take())).name;
        list_.push_back({Constraint::Kind::kNonEmpty, name, {}, {}, {}, "nonempty " + name});
      } while (reader.peek() == "," && !reader.take().empty());
    } else if (reader.peek() == "key") {
      reader.take();
      auto [table, columns] = reader.columnsOf();
      const std::string text = "key " + columnsText(findTable(table), columns);
      list_.push_back({Constraint::Kind::kKey, table, std::move(columns), {}, {}, text});
    } else if (!reader.atEnd()) {
      auto [table, columns] = reader.columnsOf();
      reader.expect("references", "'references' after " + columnsText(findTable(table), columns));
      auto [target, targets] = reader.columnsOf();
      checkPairing(reader, findTable(table), columns, findTable(target), targets);
      const std::string text = columnsText(findTable(table), columns) + " references " +
                               columnsText(findTable(target), targets);
      list_.push_back({Constraint::Kind::kReference, table, std::move(columns), target,
                       std::move(targets), text});
    } else {
      reader.fail(
          "expected a requirement: nonempty TABLE, key TABLE(COLUMNS) or "
          "TABLE(COLUMNS) references TABLE(COLUMNS)");
    }
    if (!reader.atEnd()) reader.fail("expected ';' or the end, found " + reader.found(0));
  } while (start <= declaration.size());
}

Constraints::Breach Constraints::firstBreach(const std::vector<TableData>& tables) const {
  for (const Constraint& constraint : list_) {
    const size_t t = tablePlace(tables, constraint.table);
    assert(t < tables.size());
    const auto& records = tables[t].records;
    switch (constraint.kind) {
      case Constraint::Kind::kNonEmpty:
        if (records.empty()) return {&constraint, t};
        break;
      case Constraint::Kind::kKey: {
        std::map<Values, size_t> seen;
        for (size_t r = 0; r < records.size(); ++r) {
          const auto [at, fresh] = seen.emplace(valuesAt(records[r], constraint.columns), r);
          if (!fresh) return {&constraint, t, r, at->second};
        }
        break;
      }
      case Constraint::Kind::kReference: {
        const size_t u = tablePlace(tables, constraint.target);
        assert(u < tables.size());
        std::set<Values> targets;
        for (const Values& record : tables[u].records) {
          targets.insert(valuesAt(record, constraint.targetColumns));
        }
        for (size_t r = 0; r < records.size(); ++r) {
          if (!targets.contains(valuesAt(records[r], constraint.columns))) {
            return {&constraint, t, r};
          }
        }
        break;
      }
    }
  }
  return {};
}

bool Constraints::heldBy(const std::vector<TableData>& tables) const {
  return list_.empty() || firstBreach(tables).constraint == nullptr;
}

std::string Constraints::breach(const std::vector<TableData>& tables,
                                std::string* requirement) const {
  const Breach found = firstBreach(tables);
  if (found.constraint == nullptr) return {};
  const Constraint& constraint = *found.constraint;
  if (requirement != nullptr) *requirement = constraint.text;
  const TableData& table = tables[found.table];
  switch (constraint.kind) {
    case Constraint::Kind::kNonEmpty:
      return table.name + " is empty";
    case Constraint::Kind::kKey:
      return "two records of " + table.name +
             " agree on the key: " + recordText(table.records[found.other]) + " and " +
             recordText(table.records[found.record]);
    default:
      return "no record of " + constraint.target + " matches " +
             recordText(table.records[found.record]) + " of " + table.name;
  }
}

void Constraints::repairOne(std::vector<TableData>& tables, const Breach& breach,
                            std::vector<std::string> fresh, uint64_t pick) const {
  const Constraint& constraint = *breach.constraint;
  auto& records = tables[breach.table].records;
  switch (constraint.kind) {
    case Constraint::Kind::kNonEmpty:
      records.push_back(std::move(fresh));
      return;
    case Constraint::Kind::kKey:
      records.erase(records.begin() + static_cast<std::ptrdiff_t>(breach.record));
      return;
    case Constraint::Kind::kReference: {
      auto& targets = tables[tablePlace(tables, constraint.target)].records;
      Values& record = records[breach.record];
      if (fresh.empty()) {
        assert(!targets.empty());
        const Values& target = targets[pick % targets.size()];
        for (size_t k = 0; k < constraint.columns.size(); ++k) {
          record[constraint.columns[k]] = target[constraint.targetColumns[k]];
        }
      } else {
        for (size_t k = 0; k < constraint.columns.size(); ++k) {
          fresh[constraint.targetColumns[k]] = record[constraint.columns[k]];
        }
        targets.push_back(std::move(fresh));
      }
      return;
    }
  }
}

}  // namespace relalg
