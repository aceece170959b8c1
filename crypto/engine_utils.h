// Small routines shared by the engine base class and module loading.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace selvane {

using TStringList = std::vector<string>;

// Writes size bytes to the file, replacing it; logs and answers false on
// failure (the old file is kept then).
bool WriteBufferToFile(const char16_t* aFileName, const void* aBuffer, Integer aSize);

// Appends the ";"-separated pieces of the list; answers how many.
Integer DecodeUIDsList(const char16_t* aUIDList, TStringList& aList);

// Bytes as upper-case hexadecimal, a blank between groups, CR LF between lines.
std::string HexDump(const void* aData, Cardinal aLength, Cardinal aGroupLength,
                    Cardinal aLineLength);

bool GetFileVersionNumbers(const string& aFileName, std::uint16_t& aMajor,
                           std::uint16_t& aMinor, std::uint16_t& aRelease,
                           std::uint16_t& aBuild);
// "major.minor.release.build", or empty.
string GetFileVersionString(const string& aFileName);

}  // namespace selvane
