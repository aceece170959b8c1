// The texts that the variant value's text conversions write.
#pragma once

#include "platform/regional_settings.h"
#include "platform/types.h"
#include "runtime/date_time.h"
#include "variant/pel_variant.h"

namespace variant {

// At most 15 significant digits (the exact value rounded to nearest, ties
// to even), trailing zeros dropped; fixed notation when the rounded value
// has at most 15 digits before the separator and is at least 0.00001, else
// "E" and the exponent ("-" only when negative, no leading zeros).  NaN is
// "NAN", the infinities "INF" and "-INF", -0 is "0".
string FloatToText(double value, char16_t decimalSeparator);

// The amount in fixed notation with at most four decimals.
string CurrencyToText(Currency value, char16_t decimalSeparator);

// The short date, and a blank and the long time unless the time rounds to
// midnight (whole milliseconds, a full day carried into the next).  The date
// is that of the integer part, the time that of the absolute fraction.  Not
// finite or beyond the run-time's millisecond range: EInvalidOp; outside
// years 1 to 9999: EConvertError "'%d.%d' is not a valid timestamp".
string DateTimeToText(rtl::TDateTime value, const platform::TRegionalSettings& settings);

}  // namespace variant
