// The tables of docs/hosts.md against the library: the engine types with
// their module files, and the built-in engines' parameters.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/emu1_engine.h"
#include "crypto/emu2_engine.h"
#include "crypto/engine_registry.h"
#include "tests/crypto/test_support.h"

namespace {

using testsupport::A;
using testsupport::TLogCapture;
using testsupport::U;

// The cells of the table rows below the heading, up to the next heading.
std::vector<std::vector<std::string>> TableRows(const std::string& aHeading) {
  std::string text;
  EXPECT_TRUE(platform::ReadWholeFile(U(SELVANE_SOURCE_DIR "/docs/hosts.md"), text));
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  bool bInSection = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("#", 0) == 0) {
      bInSection = line == aHeading;
      continue;
    }
    if (!bInSection || line.rfind("| ", 0) != 0) continue;
    // "| a | b |": the cells between the bars, without their blanks.
    std::vector<std::string> cells;
    for (std::size_t at = 2, end; (end = line.find(" |", at)) != std::string::npos; at = end + 3)
      cells.push_back(line.substr(at, end - at));
    if (!cells.empty() && !cells[0].empty() &&
        std::isdigit(static_cast<unsigned char>(cells[0][0])))
      rows.push_back(cells);
  }
  return rows;
}

// A cell's text without its backticks; "(empty)" is the empty text.
std::string Text(const std::string& aCell) {
  if (aCell == "(empty)") return {};
  if (aCell.size() >= 2 && aCell.front() == '`' && aCell.back() == '`')
    return aCell.substr(1, aCell.size() - 2);
  return aCell;
}

TEST(HostGuide, EngineTypeTableNamesEveryCodeAndItsModule) {
  testsupport::TLibraryState state;
  const auto rows = TableRows("## Engine types and engine modules");
  ASSERT_EQ(rows.size(), 28u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 3u);
    const int code = std::stoi(rows[i][0]);
    const std::u16string name = U(Text(rows[i][1]));
    EXPECT_EQ(code, static_cast<int>(i) + 1);
    EXPECT_EQ(selvane::EngineTypeNameByCode(code), name) << code;

    // Asking for the type's status loads its module, the first step logged.
    TLogCapture::Instance().Clear();
    const Integer status = selvane::CryptoCollections().GetCryptoEngineStatus(name.c_str());
    std::string loaded;
    for (const auto& line : TLogCapture::Instance().Lines()) {
      if (line.rfind("Start exec LoadLibrary: ", 0) == 0) {
        loaded = line.substr(24);
        break;
      }
    }
    if (rows[i][2] == "built in") {
      EXPECT_EQ(status, 1) << code;
      EXPECT_EQ(loaded, "") << code;
    } else {
      EXPECT_EQ(loaded, Text(rows[i][2])) << code;
    }
  }
}

template <class TEngine>
void ExpectParameterTable(const std::string& aHeading) {
  TEngine engine;
  const auto rows = TableRows(aHeading);
  ASSERT_EQ(static_cast<Integer>(rows.size()), engine.GetCryptoParamNumber()) << aHeading;
  for (const auto& row : rows) {
    ASSERT_GE(row.size(), 3u);
    const Integer number = std::stoi(row[0]);
    char16_t text[256] = {};
    engine.GetCryptoParamName(number, text);
    EXPECT_EQ(A(text), Text(row[1])) << aHeading << " " << number;
    engine.GetCryptoParamValue(number, text);
    EXPECT_EQ(A(text), Text(row[2])) << aHeading << " " << number;
  }
}

TEST(HostGuide, ParameterTablesOfTheBuiltInEngines) {
  ExpectParameterTable<selvane::TEmu1CryptoEngine>("### Emulation/1.0");
  ExpectParameterTable<selvane::TEmu2CryptoEngine>("### Emulation/2.0");
}

}  // namespace
