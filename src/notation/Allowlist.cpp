#include "notation/Allowlist.h"

#include <vector>

namespace relalg {

namespace {

struct ItemText {
  std::string_view name;
  std::string_view idiom;
};

constexpr ItemText kItems[] = {
    {"sigma", "select(E, EQ(a, 1))"},
    {"pi", "project(E, a, b)"},
    {"rho", "rename(project(E, a, b), S(x, y))"},
    {"cross", "product(E1, E2)"},
    {"union", "union(project(E1, a), project(E2, a))"},
    {"minus", "minus(project(E1, a), project(E2, a))"},
    {"intersect", "minus(project(E1, a), minus(project(E1, a), project(E2, a)))"},
    {"join",
     "project(select(product(E1, rename(project(E2, a, c), S(a2, c))), EQ(a, a2)), a, b, c)"},
    {"semijoin", "project(select(product(E1, rename(project(E2, a), S(a2))), EQ(a, a2)), a, b)"},
    {"antijoin", "minus(project(E1, a, b), <the semijoin of E1 and E2>)"},
    {"divide", "minus(project(E1, a), project(minus(product(project(E1, a), E2), E1), a))"},
    {"steps", "one expression, with each step's expression where its name stands"},
    {"core", "the textbook operators, such as sigma[a = 1](E) and pi[a](E)"},
};
static_assert(std::size(kItems) == Allowlist::kItemCount);

bool isSeparator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

std::optional<std::string_view> Allowlist::restrict(std::string_view list) {
  uint32_t named = 0;
  size_t at = 0;
  while (at < list.size()) {
    if (isSeparator(list[at])) {
      ++at;
      continue;
    }
    size_t end = at;
    while (end < list.size() && !isSeparator(list[end])) ++end;
    const std::string_view word = list.substr(at, end - at);
    size_t k = 0;
    while (k < kItemCount && kItems[k].name != word) ++k;
    if (k == kItemCount) return word;
    named |= 1u << k;
    at = end;
  }
  allowed_ &= named;
  return std::nullopt;
}

std::string Allowlist::names() const {
  std::string text;
  for (size_t k = 0; k < kItemCount; ++k) {
    if (!allows(static_cast<Item>(k))) continue;
    if (!text.empty()) text += ", ";
    text += kItems[k].name;
  }
  return text.empty() ? "nothing" : text;
}

std::string_view Allowlist::idiom(Item item) { return kItems[item].idiom; }
std::string_view Allowlist::name(Item item) { return kItems[item].name; }

}  // namespace relalg
