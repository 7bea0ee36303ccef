// CSV text cut into records: a line end inside a quoted cell belongs to the cell.

#include "base/csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavelo {
namespace {

struct RecordsCase {
    const char *name;
    std::string text;
    std::vector<CsvRecord> records;
};

class CsvRecords : public ::testing::TestWithParam<RecordsCase> {};

TEST_P(CsvRecords, CutAtLineEndsOutsideQuotes)
{
    const auto records = splitCsvRecords(GetParam().text);
    ASSERT_EQ(records.size(), GetParam().records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records[i].line, GetParam().records[i].line);
        EXPECT_EQ(records[i].text, GetParam().records[i].text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CsvRecords,
    ::testing::Values(
        RecordsCase{"Empty", "", {}},
        RecordsCase{"LfAndCrLf", "a,b\r\nc,d\ne", {{1, "a,b"}, {2, "c,d"}, {3, "e"}}},
        RecordsCase{"EmptyLinesAreRecords", "a\n\nb\n", {{1, "a"}, {2, ""}, {3, "b"}}},
        RecordsCase{"NewlineInQuotes", "id,x\n\"p\n1\",2\nq,3\n", {{1, "id,x"}, {2, "\"p\n1\",2"}, {4, "q,3"}}},
        RecordsCase{"CrLfInQuotes", "\"a\r\nb\",c\r\nd\r\n", {{1, "\"a\r\nb\",c"}, {3, "d"}}},
        RecordsCase{"DoubledQuotesStayInside", "\"say \"\"hi\n\"\"\",x\ny\n", {{1, "\"say \"\"hi\n\"\"\",x"}, {3, "y"}}},
        // A quote inside an unquoted cell is a plain character, as when a line is split.
        RecordsCase{"QuoteInsideACell", "ab\"c,d\ne\n", {{1, "ab\"c,d"}, {2, "e"}}},
        RecordsCase{"UnclosedQuoteRunsToTheEnd", "a,\"b\nc\n", {{1, "a,\"b\nc\n"}}}),
    [](const ::testing::TestParamInfo<RecordsCase> &i) { return std::string(i.param.name); });

TEST(CsvRecords, ARecordSplitsIntoItsCells)
{
    const auto records = splitCsvRecords("id,text\n\"p1\",\"two\nlines, one cell\"\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(splitCsvLine(records[1].text), (std::vector<std::string>{"p1", "two\nlines, one cell"}));
}

} // namespace
} // namespace tavelo
