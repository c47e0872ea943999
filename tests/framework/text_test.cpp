// The boundary's text helpers: UTF-16 → UTF-8 by the Unicode encoding rules, and the
// description schema's datatype names.
#include "framework/mp_text.h"

#include <gtest/gtest.h>

#include <string>

using namespace gmpi;

TEST(BoundaryText, Utf16ToUtf8) {
    struct Case {
        const char* what;
        std::u16string utf16;
        std::string utf8;
    };
    // U+FFFD is EF BF BD.
    const Case cases[] = {
        {"empty", u"", ""},
        {"ASCII", u"Osc ZRPM", "Osc ZRPM"},
        {"two bytes: U+00E9", u"\u00E9", "\xC3\xA9"},
        {"three bytes: U+20AC", u"\u20AC", "\xE2\x82\xAC"},
        {"pair: U+1F3B9", u"\xD83C\xDFB9", "\xF0\x9F\x8E\xB9"},
        {"lone high surrogate at the end", u"a\xD83C", "a\xEF\xBF\xBD"},
        {"high surrogate before a letter", u"\xD83Cz", "\xEF\xBF\xBDz"},
        {"lone low surrogate", u"\xDFB9", "\xEF\xBF\xBD"},
        {"two high surrogates, then a pair", u"\xD83C\xD83C\xDFB9", "\xEF\xBF\xBD\xF0\x9F\x8E\xB9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8) << c.what;
}

TEST(BoundaryText, DatatypeNamesOfTheSchema) {
    struct Case {
        PinDatatype datatype;
        const char* schema;
        const char* forPeople;
    };
    const Case cases[] = {
        {DatatypeList, "enum", "enum"},
        {DatatypeText, "string", "string"},
        {DatatypeMidi, "midi", "midi"},
        {DatatypeBool, "bool", "bool"},
        {DatatypeAudio, "float", "audio"},
        {DatatypeFloat, "float", "float"},
        {DatatypeInt, "int", "int"},
        {DatatypeBlob, "blob", "blob"},
        {PinDatatype(3), "unknown", "unknown"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(schemaDatatypeName(c.datatype), c.schema) << c.datatype;
        EXPECT_STREQ(datatypeName(c.datatype), c.forPeople) << c.datatype;
        // Every schema name reads back as its datatype; audio reads back as float (the
        // rate attribute makes it audio).
        const PinDatatype back = c.datatype == DatatypeAudio ? DatatypeFloat : c.datatype;
        if (std::string(c.schema) != "unknown") {
            EXPECT_EQ(datatypeFromSchemaName(c.schema), back) << c.schema;
        }
    }
    EXPECT_EQ(datatypeFromSchemaName("audio"), std::nullopt);
    EXPECT_EQ(datatypeFromSchemaName("Float"), std::nullopt);
}
