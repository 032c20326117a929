#include "sql/SqlText.h"

#include <cctype>

#include "base/Windows1250.h"

namespace relalg {

namespace {

// Node texts longer than this are shortened in the script's comments.
constexpr size_t kCommentLength = 100;

}  // namespace

bool isPlainIdentifier(std::string_view name) {
  if (name.empty() || name.size() > 63) return false;
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!letter(name[0])) return false;
  for (char c : name) {
    if (!letter(c) && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

std::string lowered(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Each part between backslashes is a literal of its own, and each backslash is the first
// character of the literal '\\', which holds two backslashes where literals take backslashes as
// they are and one where a backslash escapes the next character: the first is a backslash in
// both readings, and neither reading ends the literal elsewhere.
std::string stringLiteral(std::string_view value) {
  value = value.substr(0, value.find('\0'));
  std::string out = "'";
  bool joined = false;
  for (char c : value) {
    if (c == '\\') {
      out += "' || SUBSTR('\\\\', 1, 1) || '";
      joined = true;
      continue;
    }
    if (c == '\'') out += '\'';
    out += c;
  }
  out += "'";
  return joined ? "(" + out + ")" : out;
}

std::string commentText(std::string_view text) {
  std::string out;
  for (char c : cutOnCharacter(text, kCommentLength)) {
    out += (c == '\0' || c == '\r' || c == '\n') ? '?' : c;
  }
  if (text.size() > kCommentLength) out += " ...";
  return out;
}

std::string sqlType(Column::attr_type type) { return type == Column::INTEGER ? "INTEGER" : "TEXT"; }

std::string sqlColumn(size_t k) { return "c" + std::to_string(k + 1); }

std::string columnList(size_t count, std::string_view prefix, size_t offset) {
  std::string out;
  for (size_t k = 0; k < count; ++k) {
    if (k > 0) out += ", ";
    if (!prefix.empty()) out += std::string(prefix) + ".";
    out += sqlColumn(offset + k);
  }
  return out;
}

std::string aliasedList(size_t count, std::string_view prefix) {
  std::string out;
  for (size_t k = 0; k < count; ++k) {
    if (k > 0) out += ", ";
    out += prefix;
    out += ".";
    out += sqlColumn(k);
    out += " AS ";
    out += sqlColumn(k);
  }
  return out;
}

std::string clauseHead(const std::string& name, size_t width) {
  return name + "(o" + (width == 0 ? "" : ", " + columnList(width)) + ")";
}

std::string recordBefore(size_t width) {
  if (width == 0) return "1 = 0";  // records without columns are equal
  std::string out;
  for (size_t k = 0; k + 1 < width; ++k) {
    const std::string l = "l." + sqlColumn(k);
    const std::string r = "r." + sqlColumn(k);
    out += "(" + l + " < " + r + " OR (" + l + " = " + r + " AND ";
  }
  out += "l." + sqlColumn(width - 1) + " < r." + sqlColumn(width - 1);
  out.append(2 * (width - 1), ')');
  return out;
}

std::string recordsEqual(size_t width) {
  std::string out;
  for (size_t k = 0; k < width; ++k) {
    if (k > 0) out += " AND ";
    out += "l.";
    out += sqlColumn(k);
    out += " = r.";
    out += sqlColumn(k);
  }
  return out;
}

}  // namespace relalg
