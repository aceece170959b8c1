#include "platform/regional_settings.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace platform {

namespace {

// A locale object of one category, "C" when the named one is not installed.
class TLocale {
 public:
  TLocale(int categoryMask, const std::string& name)
      : FLocale(::newlocale(categoryMask, name.c_str(), nullptr)) {
    if (FLocale == nullptr) FLocale = ::newlocale(categoryMask, "C", nullptr);
  }
  ~TLocale() {
    if (FLocale != nullptr) ::freelocale(FLocale);
  }
  TLocale(const TLocale&) = delete;
  TLocale& operator=(const TLocale&) = delete;

  // The item's text; empty when even "C" could not be opened.
  std::string Item(nl_item item) const {
    if (FLocale == nullptr) return {};
    const char* text = ::nl_langinfo_l(item, FLocale);
    return text != nullptr ? std::string(text) : std::string();
  }

 private:
  locale_t FLocale;
};

// What a C library conversion stands for in the run-time's pattern letters.
enum class TGroup { Date, Hour, Time };

struct TConversion {
  char Letter;
  std::u16string_view ZeroPadded;  // also with the "0" flag
  std::u16string_view Unpadded;    // also with the "-" and "_" flags
  bool PaddedByDefault;
  TGroup Group;
};

// Month names have no letters of their own among the patterns: the month
// number stands in for them.
constexpr TConversion Conversions[] = {
    {'d', u"dd", u"d", true, TGroup::Date},
    {'e', u"dd", u"d", false, TGroup::Date},
    {'m', u"mm", u"m", true, TGroup::Date},
    {'b', u"mm", u"mm", true, TGroup::Date},
    {'B', u"mm", u"mm", true, TGroup::Date},
    {'h', u"mm", u"mm", true, TGroup::Date},
    {'y', u"yy", u"yy", true, TGroup::Date},
    {'Y', u"yyyy", u"yyyy", true, TGroup::Date},
    {'H', u"hh", u"h", true, TGroup::Hour},
    {'k', u"hh", u"h", false, TGroup::Hour},
    {'I', u"hh", u"h", true, TGroup::Hour},
    {'l', u"hh", u"h", false, TGroup::Hour},
    {'M', u"nn", u"n", true, TGroup::Time},
    {'S', u"ss", u"s", true, TGroup::Time},
    {'p', u"AMPM", u"AMPM", true, TGroup::Time},
    {'P', u"AMPM", u"AMPM", true, TGroup::Time},
};

// Conversions that stand for a format of their own.
struct TComposite {
  char Letter;
  std::string_view Format;  // empty: one of the locale's own formats
};
constexpr TComposite Composites[] = {
    {'T', "%H:%M:%S"}, {'R', "%H:%M"}, {'D', "%m/%d/%y"}, {'F', "%Y-%m-%d"},
    {'r', ""},         {'X', ""},      {'x', ""},
};

// The locale's formats that composites refer to.
struct TLocaleFormats {
  std::string Time, Date, TimeAmPm;

  std::string_view Of(char letter) const {
    switch (letter) {
      case 'r': return TimeAmPm.empty() ? std::string_view("%I:%M:%S %p") : TimeAmPm;
      case 'X': return Time;
      default: return Date;
    }
  }
};

// A format cut into literal text, fields in pattern letters, and
// conversions without a counterpart (weekday names, time zones, ...).
struct TPiece {
  enum TKind { Literal, Field, Dropped } Kind;
  std::u16string Text;
  TGroup Group = TGroup::Time;
};
using TPieces = std::vector<TPiece>;

void AddLiteral(TPieces& pieces, std::u16string_view text) {
  if (text.empty()) return;
  if (!pieces.empty() && pieces.back().Kind == TPiece::Literal)
    pieces.back().Text += text;
  else
    pieces.push_back({TPiece::Literal, std::u16string(text)});
}

constexpr int MaxNesting = 4;  // %X inside %X and the like

void Cut(std::string_view format, const TLocaleFormats& formats, int nesting, TPieces& pieces) {
  std::size_t i = 0;
  while (i < format.size()) {
    const std::size_t percent = format.find('%', i);
    AddLiteral(pieces, FromUtf8(format.substr(i, percent - i)));
    if (percent == std::string_view::npos) return;
    i = percent + 1;
    char flag = 0;
    while (i < format.size() && std::string_view("_-0^#").find(format[i]) != std::string_view::npos)
      flag = format[i++];
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;  // a width
    if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) ++i;   // alternative forms
    if (i >= format.size()) return;
    const char letter = format[i++];
    if (letter == '%' || letter == 'n' || letter == 't') {
      AddLiteral(pieces, letter == '%' ? u"%" : letter == 'n' ? u"\n" : u"\t");
      continue;
    }
    if (const auto* composite = std::find_if(std::begin(Composites), std::end(Composites),
                                             [&](const TComposite& c) { return c.Letter == letter; });
        composite != std::end(Composites)) {
      if (nesting < MaxNesting)
        Cut(composite->Format.empty() ? formats.Of(letter) : composite->Format, formats,
            nesting + 1, pieces);
      continue;
    }
    const auto* conversion = std::find_if(std::begin(Conversions), std::end(Conversions),
                                          [&](const TConversion& c) { return c.Letter == letter; });
    if (conversion == std::end(Conversions)) {
      pieces.push_back({TPiece::Dropped, {}});
      continue;
    }
    const bool padded = flag == '0' || ((flag != '-' && flag != '_') && conversion->PaddedByDefault);
    pieces.push_back({TPiece::Field,
                      std::u16string(padded ? conversion->ZeroPadded : conversion->Unpadded),
                      conversion->Group});
  }
}

// A dropped conversion takes the literal text that joined it to the rest:
// the text before it, or after it when no field comes before it.
TPieces WithoutDropped(const TPieces& cut) {
  TPieces pieces;
  bool fieldSeen = false;
  bool skipLiteral = false;
  for (const TPiece& piece : cut) {
    if (piece.Kind == TPiece::Dropped) {
      if (fieldSeen && !pieces.empty() && pieces.back().Kind == TPiece::Literal)
        pieces.pop_back();
      else if (!fieldSeen)
        skipLiteral = true;
      continue;
    }
    if (piece.Kind == TPiece::Literal && std::exchange(skipLiteral, false)) continue;
    if (piece.Kind == TPiece::Literal) {
      AddLiteral(pieces, piece.Text);
    } else {
      fieldSeen = true;
      skipLiteral = false;
      pieces.push_back(piece);
    }
  }
  return pieces;
}

TPieces Translate(std::string_view format, const TLocaleFormats& formats) {
  TPieces cut;
  Cut(format, formats, 0, cut);
  return WithoutDropped(cut);
}

// The first character of the literal text after the first field of the
// group, or `none`.
char16_t SeparatorAfter(const TPieces& pieces, TGroup group, char16_t none) {
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i].Kind != TPiece::Field || pieces[i].Group != group) continue;
    if (i + 1 == pieces.size() || pieces[i + 1].Kind != TPiece::Literal) return none;
    const char16_t c = pieces[i + 1].Text.front();
    return (c >= 0xD800 && c <= 0xDFFF) ? none : c;  // one UTF-16 unit only
  }
  return none;
}

// Characters that the run-time's formatter would read as patterns.
bool NeedsQuotes(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'"' || c == u'\'' ||
         c == u'/' || c == u':';
}

// The pattern: fields as they are, the separator character as its
// placeholder, literal letters (and the like) in quotes.
std::u16string Render(const TPieces& pieces, char16_t separator, char16_t placeholder) {
  std::u16string pattern;
  for (const TPiece& piece : pieces) {
    if (piece.Kind == TPiece::Field) {
      pattern += piece.Text;
      continue;
    }
    const std::u16string& text = piece.Text;
    for (std::size_t i = 0; i < text.size();) {
      const char16_t c = text[i];
      if (c == separator || !NeedsQuotes(c)) {
        pattern += c == separator ? placeholder : c;
        ++i;
        continue;
      }
      // A run to quote; a quote character goes inside the other kind.
      const bool doubleQuote = c == u'"';
      std::size_t end = i;
      while (end < text.size() && text[end] != separator && NeedsQuotes(text[end]) &&
             (text[end] == u'"') == doubleQuote)
        ++end;
      const char16_t quote = doubleQuote ? u'\'' : u'"';
      pattern += quote;
      pattern.append(text, i, end - i);
      pattern += quote;
      i = end;
    }
  }
  return pattern;
}

// A text of exactly one UTF-16 unit, or `none`.
char16_t SingleCharacter(const std::string& text, char16_t none) {
  const std::u16string wide = FromUtf8(text);
  return wide.size() == 1 && !(wide[0] >= 0xD800 && wide[0] <= 0xDFFF) ? wide[0] : none;
}

constinit std::atomic<const TRegionalSettings*> Override{nullptr};

}  // namespace

TRegionalSettings ReadRegionalSettings(const std::string& localeName) {
  TRegionalSettings settings;
  const TLocale time(LC_TIME_MASK, localeName);
  const TLocaleFormats formats{time.Item(T_FMT), time.Item(D_FMT), time.Item(T_FMT_AMPM)};

  const TPieces timePieces = Translate(formats.Time, formats);
  settings.TimeSeparator = SeparatorAfter(timePieces, TGroup::Hour, settings.TimeSeparator);
  if (std::u16string pattern = Render(timePieces, settings.TimeSeparator, u':'); !pattern.empty())
    settings.LongTimeFormat = std::move(pattern);

  const TPieces datePieces = Translate(formats.Date, formats);
  settings.DateSeparator = SeparatorAfter(datePieces, TGroup::Date, settings.DateSeparator);
  if (std::u16string pattern = Render(datePieces, settings.DateSeparator, u'/'); !pattern.empty())
    settings.ShortDateFormat = std::move(pattern);

  const TLocale numeric(LC_NUMERIC_MASK, localeName);
  settings.DecimalSeparator = SingleCharacter(numeric.Item(RADIXCHAR), settings.DecimalSeparator);
  return settings;
}

const TRegionalSettings& RegionalSettings() {
  if (const TRegionalSettings* injected = Override.load()) return *injected;
  static const TRegionalSettings settings = ReadRegionalSettings("");
  return settings;
}

ScopedRegionalSettings::ScopedRegionalSettings(TRegionalSettings settings)
    : FSettings(std::move(settings)), FPrevious(Override.exchange(&FSettings)) {}

ScopedRegionalSettings::~ScopedRegionalSettings() { Override.store(FPrevious); }

}  // namespace platform
