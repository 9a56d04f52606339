// The frame: the token error table, the exception type and the Destroy exports.
#include <gtest/gtest.h>

#include "token/token_error.h"
#include "zttools.h"

#pragma GCC diagnostic ignored "-Wcatch-value"

namespace {

TEST(ErrorTable, HoldsTheTwentyOneCodesWithTheirExactMessages) {
  EXPECT_EQ(zt::token::errorTable().size(), 21u);
  struct Case {
    int code;
    const char* message;
  };
  const Case cases[] = {
      {1, "Invalid date format."},
      {2, "Invalid date delimiter."},
      {3, "Invalid date modifier."},
      {9, "Imprinter counter width is out of range."},
      {14, "Error in format string."},
      {24, "Newline token cannot be formatted,"},
      {29, "Missing the literal character following the '\\'."},
      {32, "Too many message defined in template."},
      {34, "Length of fixed field exceeds 9 characters."},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(kora_token_parser_exception(c.code, 0).what(), c.message) << c.code;
  }
  // Codes outside the table read the fallback text.
  for (int code : {0, 7, 21, 27, -1}) {
    EXPECT_STREQ(kora_token_parser_exception(code, 0).what(), "token parsing error occured")
        << code;
  }
}

TEST(Exception, CarriesCodeAndPositionThroughEveryKindOfCatch) {
  try {
    zt::token::raiseTokenError(9, 3);
    // Catching by value is what many driver codebases do: the copy must keep both fields.
    // NOLINTNEXTLINE(misc-throw-by-value-catch-by-reference)
  } catch (kora_token_parser_exception e) {
    EXPECT_EQ(e.code, 9);
    EXPECT_EQ(e.position, 3);
  }
  try {
    zt::token::raiseTokenError(24, 7);
  } catch (const std::exception& e) {
    EXPECT_EQ(dynamic_cast<const kora_token_parser_exception&>(e).position, 7);
  }
}

// Each Create export hands out a new object each time; each Destroy export takes back a real
// object and null alike and returns null; the leak check of the sanitizer build sees an object
// Destroy failed to free.
template <class Interface>
void expectDestroyed(Interface* (*create)(), Interface* (*destroy)(Interface*)) {
  Interface* object = create();
  Interface* other = create();
  ASSERT_NE(object, nullptr);
  EXPECT_NE(object, other);
  EXPECT_EQ(destroy(object), nullptr);
  EXPECT_EQ(destroy(other), nullptr);
  EXPECT_EQ(destroy(nullptr), nullptr);
}

TEST(Destroy, EveryExportEndsItsObjectAndIgnoresNull) {
  expectDestroyed(KORALogManagerFactory_Create, KORALogManagerFactory_Destroy);
  expectDestroyed(KORAPresetManagerFactory_Create, KORAPresetManagerFactory_Destroy);
  expectDestroyed(KORATokenParserFactory_Create, KORATokenParserFactory_Destroy);
  expectDestroyed(KORAXmlParserFactory_Create, KORAXmlParserFactory_Destroy);
  expectDestroyed(KORAXmlWriterFactory_Create, KORAXmlWriterFactory_Destroy);
  expectDestroyed(KORAXmlXPathFactory_Create, KORAXmlXPathFactory_Destroy);
  expectDestroyed(KORATagManagerFactory_Create, KORATagManagerFactory_Destroy);
  expectDestroyed(KORATokenParserExFactory_Create, KORATokenParserExFactory_Destroy);
}

}  // namespace
