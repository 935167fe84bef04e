#include "core/settings/LenientJson.h"

#include <clocale>
#include <gtest/gtest.h>

namespace tunora {
namespace {

TEST(LenientJsonTest, OnlyNumbersNoDoubleHoldsBecomeNull) {
    const struct {
        std::string json;
        std::string read;
        std::size_t replaced;
    } cases[] = {
        {R"({"volume": 1e999})", R"({"volume": null})", 1},
        {R"({"volume": -1E+400, "x": 2})", R"({"volume": null, "x": 2})", 1},
        {R"([1e308, 1.7976931348623157e308, 0.5])", R"([1e308, 1.7976931348623157e308, 0.5])", 0},
        {R"([123456789e300, 123456789e305])", R"([123456789e300, null])", 1},
        {R"([0.0000001e-999, 1e-999, 4e-320])", R"([0.0000001e-999, 1e-999, 4e-320])", 0},
        {R"([0e999999999999999999999, 0.000e5000])", R"([0e999999999999999999999, 0.000e5000])", 0},
        {R"([1e99999999999999999999999])", R"([null])", 1},
        {R"([0.001e1000, 10e-1000])", R"([null, 10e-1000])", 1},
        {R"({"1e999": "1e999 \" 1e999"})", R"({"1e999": "1e999 \" 1e999"})", 0},
        {R"({"a": 1e999, "b": [2e999, "\\"], "c": 3e999})",
         R"({"a": null, "b": [null, "\\"], "c": null})", 3},
        {"[1e999", "[null", 1},
        {"[1-2e999, --1e999]", "[1-2e999, --1e999]", 0},
        {R"({"a": "unterminated 1e999)", R"({"a": "unterminated 1e999)", 0},
    };
    for (const auto& [json, read, replaced] : cases) {
        std::string text = json;
        EXPECT_EQ(nullOverflowingNumbers(text), replaced) << json;
        EXPECT_EQ(text, read) << json;
    }
}

TEST(LenientJsonTest, NumbersAreReadTheSameInALocaleWithADecimalComma) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale here";
    }
    std::string text = "[1.5e999, 1,5e999]";
    const std::size_t replaced = nullOverflowingNumbers(text);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(replaced, 2u);
    EXPECT_EQ(text, "[null, 1,null]");
}

TEST(LenientJsonTest, ABytePositionIsTheLineAndColumnAnEditorShows) {
    const struct {
        std::string text;
        std::size_t byte;
        TextPosition position;
    } cases[] = {
        {R"({"volume": 0.4,})", 16, {1, 16}},
        {"{\n  \"a\": 1,\n}", 13, {3, 1}},
        {"{\n  \"a\": 1,\n  oops\n}", 15, {3, 3}},
        {"\n\n", 2, {2, 1}},
        {"", 0, {1, 1}},
        {"", 1, {1, 1}},
        {"\nx", 0, {1, 1}},
        {"ab", 99, {1, 3}},
    };
    for (const auto& [text, byte, position] : cases) {
        const TextPosition found = positionOfByte(text, byte);
        EXPECT_EQ(found, position)
            << text << " @" << byte << ": line " << found.line << ", column " << found.column;
    }
}

} // namespace
} // namespace tunora
