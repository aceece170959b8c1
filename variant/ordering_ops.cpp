#include <array>
#include <compare>
#include <optional>

#include "variant/comparison_rules.h"
#include "variant/comparisons.h"

namespace variant {

namespace {

// The four orderings are one algorithm; only the relation tested at the end
// and the message differ.
enum class TOrdering { Greater, GreaterEqual, Less, LessEqual };

struct TOrderingRow {
  const char16_t* Prefix;
  bool (*Holds)(std::weak_ordering);
};

constexpr std::array<TOrderingRow, 4> Orderings = {{
    {u"Incompatible type in variant greater comparision: ",
     [](std::weak_ordering o) { return o > 0; }},
    {u"Incompatible type in variant greater equal comparision: ",
     [](std::weak_ordering o) { return o >= 0; }},
    {u"Incompatible type in variant lesser comparision: ",
     [](std::weak_ordering o) { return o < 0; }},
    {u"Incompatible type in variant lesser equal comparision: ",
     [](std::weak_ordering o) { return o <= 0; }},
}};

bool Ordered(const TPelVariant& v1, const TPelVariant& v2, TOrdering ordering) {
  const TOrderingRow& row = Orderings[static_cast<std::size_t>(ordering)];
  const std::optional<TComparisonRoute> route = OrderingRoute(v1.varType, v2.varType);
  if (!route) RaiseComparisonRefused(row.Prefix, v1, v2);
  return row.Holds(CompareShared(v1, v2, *route));
}

}  // namespace

bool operator>(const TPelVariant& v1, const TPelVariant& v2) {
  return Ordered(v1, v2, TOrdering::Greater);
}
bool operator>=(const TPelVariant& v1, const TPelVariant& v2) {
  return Ordered(v1, v2, TOrdering::GreaterEqual);
}
bool operator<(const TPelVariant& v1, const TPelVariant& v2) {
  return Ordered(v1, v2, TOrdering::Less);
}
bool operator<=(const TPelVariant& v1, const TPelVariant& v2) {
  return Ordered(v1, v2, TOrdering::LessEqual);
}

bool TPelVariant::GreaterThanNL(const TPelVariant& v2) const {
  if (IsNULL()) return false;
  if (v2.IsNULL()) return true;
  return *this > v2;
}

}  // namespace variant
