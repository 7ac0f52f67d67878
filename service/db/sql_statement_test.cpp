#include "service/db/sql_statement.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(SqlStatementTest, ManyRowsReadLikeOneRowRepeated) {
  const std::vector<SqlColumn> columns = {{"station", "7", false}, {"ps_name", "A'B"}};
  std::vector<DbValue> params;
  const std::string one = InsertOrUpdateStatement("mts_petrolstation", columns, &params);
  EXPECT_EQ(one,
            "insert into mts_petrolstation ( station, ps_name ) values ( ?, ? ) on duplicate key "
            "update ps_name = values( ps_name )");
  EXPECT_EQ(params, (std::vector<DbValue>{"7", "A'B"}));
  const RowsStatement rows = InsertOrUpdateRows("mts_petrolstation", columns);
  EXPECT_EQ(rows.head + rows.row + rows.tail, one);
  EXPECT_EQ(MarkerRow(3), "( ?, ?, ? )");
  EXPECT_EQ(KeyList({4, 17, 1000}), "4, 17, 1000");
  EXPECT_EQ(KeyList({}), "");
}

TEST(SqlStatementTest, ALongStatementIsCutForTheLogWithoutSplittingACharacter) {
  EXPECT_EQ(ShortStatementText("commit"), "commit");
  const std::string exact(200, 'x');
  EXPECT_EQ(ShortStatementText(exact), exact);
  // "ü" is two bytes; the 200th and 201st byte are one character.
  const std::string text = std::string(199, 'x') + "ü" + std::string(300, 'y');
  EXPECT_EQ(ShortStatementText(text), std::string(199, 'x') + " ... (501 Zeichen)");
}

}  // namespace
}  // namespace velunor
