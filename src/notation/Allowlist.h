// Allowlist is what a teacher lets a notation program use: the textbook operators by their ASCII
// names, "steps" for named statements and "core" for the prefix forms of the core language
// (union(...), select(..., EQ(...)) and the rest). Everything is allowed until a list is given;
// each further list can only take away (a program line "-- allow: ..." and --allow=LIST both
// apply).
#ifndef RELALG_NOTATION_ALLOWLIST_H
#define RELALG_NOTATION_ALLOWLIST_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace relalg {

class Allowlist {
 public:
  enum Item : uint8_t {
    kSigma,
    kPi,
    kRho,
    kCross,
    kUnion,
    kMinus,
    kIntersect,
    kJoin,
    kSemijoin,
    kAntijoin,
    kDivide,
    kSteps,
    kCore,
    kItemCount
  };

  bool allows(Item item) const { return (allowed_ >> item) & 1u; }
  // Keeps only the items that list names too. A list is names separated by commas or blanks.
  // Returns the first name that is no item (and changes nothing then), or nothing.
  std::optional<std::string_view> restrict(std::string_view list);
  // The allowed items by their names, joined by ", ".
  std::string names() const;
  // The core expression that does what a forbidden item does.
  static std::string_view idiom(Item item);
  static std::string_view name(Item item);

 private:
  uint32_t allowed_ = (1u << kItemCount) - 1;
};

}  // namespace relalg

#endif  // RELALG_NOTATION_ALLOWLIST_H
