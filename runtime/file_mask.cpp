#include "runtime/file_mask.h"

#include <utility>
#include <vector>

namespace rtl {

namespace {

// One element of a mask: every kind but Star stands for exactly one
// character.
struct TMaskToken {
  enum class TKind { Literal, AnyChar, Star, Set };

  explicit TMaskToken(TKind kind, char16_t c = 0) : Kind(kind), Char(c) {}

  TKind Kind;
  char16_t Char;                                       // Literal
  bool Negated = false;                                // Set
  std::vector<std::pair<char16_t, char16_t>> Ranges;   // Set: inclusive
};

[[noreturn]] void InvalidMask(std::u16string_view mask) {
  throw EMaskError(u"Invalid mask '" + string(mask) + u"'");
}

// Reads the set that starts after the "[" at `pos`; leaves `pos` after its "]".
TMaskToken ReadSet(std::u16string_view mask, std::size_t& pos) {
  TMaskToken token(TMaskToken::TKind::Set);
  if (pos < mask.size() && mask[pos] == u'!') {
    token.Negated = true;
    ++pos;
  }
  for (;;) {
    if (pos >= mask.size()) InvalidMask(mask);
    const char16_t low = mask[pos++];
    if (low == u']') return token;
    char16_t high = low;
    if (pos + 1 < mask.size() && mask[pos] == u'-' && mask[pos + 1] != u']') {
      high = mask[pos + 1];
      pos += 2;
    }
    token.Ranges.emplace_back(low, high);
  }
}

std::vector<TMaskToken> ReadMask(std::u16string_view mask) {
  std::vector<TMaskToken> tokens;
  for (std::size_t pos = 0; pos < mask.size();) {
    const char16_t c = mask[pos++];
    switch (c) {
      case u'*':
        // A run of stars matches what one star matches.
        if (tokens.empty() || tokens.back().Kind != TMaskToken::TKind::Star)
          tokens.emplace_back(TMaskToken::TKind::Star);
        break;
      case u'?':
        tokens.emplace_back(TMaskToken::TKind::AnyChar);
        break;
      case u'[':
        tokens.push_back(ReadSet(mask, pos));
        break;
      default:
        tokens.emplace_back(TMaskToken::TKind::Literal, c);
    }
  }
  return tokens;
}

bool MatchesOne(const TMaskToken& token, char16_t c) {
  switch (token.Kind) {
    case TMaskToken::TKind::Literal:
      return c == token.Char;
    case TMaskToken::TKind::AnyChar:
      return true;
    case TMaskToken::TKind::Set: {
      bool inSet = false;
      for (const auto& [low, high] : token.Ranges) inSet = inSet || (low <= c && c <= high);
      return inSet != token.Negated;
    }
    case TMaskToken::TKind::Star:
      break;
  }
  return false;
}

}  // namespace

bool MatchesMask(std::u16string_view name, std::u16string_view mask) {
  const std::vector<TMaskToken> tokens = ReadMask(mask);
  // Every token but a star takes exactly one character, so on a mismatch
  // only the last star seen needs to take one character more; earlier stars
  // never need to be revisited.
  std::size_t t = 0, n = 0;
  std::size_t starToken = tokens.size(), starName = 0;
  while (n < name.size()) {
    if (t < tokens.size() && tokens[t].Kind == TMaskToken::TKind::Star) {
      starToken = t++;
      starName = n;
    } else if (t < tokens.size() && MatchesOne(tokens[t], name[n])) {
      ++t;
      ++n;
    } else if (starToken < tokens.size()) {
      t = starToken + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (t < tokens.size() && tokens[t].Kind == TMaskToken::TKind::Star) ++t;
  return t == tokens.size();
}

}  // namespace rtl
