// The connection against the private MariaDB: the three string forms, the
// driver fallback with private driver registrations, a wrong password, a
// server that goes away under an open connection, and bound parameters.
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "service/common/failure.h"
#include "service/db/db_hand_ins.h"
#include "tests/proof_server.h"
#include "tests/small_network.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

using testing::DbTestEnv;
using testing::FailureOf;
using testing::TempDir;
using testing::TestDb;
using testing::TestEnv;

TEST(ConnectionStringTest, ThreeFormsAsTheDriverExpectsThem) {
  const std::string d31 = "Provider=MSDASQL;DRIVER={MariaDB ODBC 3.1 Driver};";
  EXPECT_EQ(ConnectionString(kDriver31, "", "ignored", "ignored"),
            d31 + "Server=localhost;UID=lox_user;PWD=hul_drev;database=lox;Option=11");
  EXPECT_EQ(ConnectionString(kDriver31, "dbhost:3307", "u", "p"),
            d31 + "SERVER=dbhost;PORT=3307;DATABASE=lox;UID=u;PWD=p;Option=11");
  EXPECT_EQ(ConnectionString(kDriver20, ":3307", "u", "p"),
            "Provider=MSDASQL;DRIVER={MariaDB ODBC 2.0 Driver};SERVER=;PORT=3307;"
            "DATABASE=lox;UID=u;PWD=p;Option=11");
  EXPECT_EQ(ConnectionString(kDriver31, "dbhost", "u", "p"),
            d31 + "Server=dbhost;UID=u;PWD=p;database=lox;Option=11");
  // A password with separators cannot add a key to the string.
  EXPECT_EQ(ConnectionString(kDriver31, "dbhost", "u", "a;b}c"),
            d31 + "Server=dbhost;UID=u;PWD={a;b}}c};database=lox;Option=11");
}

TEST(ConnectionStringTest, IPPortSplitsAtTheFirstColonOnly) {
  std::string host = "old";
  std::string port = "old";
  EXPECT_FALSE(IPPort("dbhost", host, port));
  EXPECT_EQ(host + " " + port, "old old");
  EXPECT_TRUE(IPPort("dbhost:3307:x", host, port));
  EXPECT_EQ(host + " " + port, "dbhost 3307:x");
  EXPECT_TRUE(IPPort(":3307", host, port));
  EXPECT_EQ(host + " " + port, " 3307");
}

TEST(ConnectionStringTest, MissingDriverTextsAreRecognised) {
  EXPECT_TRUE(IsMissingDriverError(
      "[unixODBC][Driver Manager]Can't open lib 'MariaDB ODBC 3.1 Driver' : file not found"));
  EXPECT_TRUE(IsMissingDriverError(
      "[unixODBC][Driver Manager]Data source name not found and no default driver specified"));
  EXPECT_TRUE(IsMissingDriverError(
      "[Microsoft][ODBC Driver Manager] Datenquellenname nicht gefunden, und es wurde kein "
      "Standardtreiber angegeben"));
  EXPECT_FALSE(IsMissingDriverError(
      "[ma-3.1.15]Access denied for user 'velunor'@'localhost' (using password: YES)"));
}

// Driver registrations in a private ODBCSYSINI directory.
class DriverFallbackTest : public ::testing::Test {
 protected:
  void Register(const std::string& ini) {
    dir_.Write("odbcinst.ini", ini);
    dir_.Write("odbc.ini", "");
    setenv("ODBCSYSINI", dir_.path().c_str(), 1);
  }
  void TearDown() override { unsetenv("ODBCSYSINI"); }
  Status Connect(const std::string& password) {
    return testing::ConnectAsTestAccount(db_, TestDb::Server(), password);
  }
  static std::string Section(const std::string& name) {
    return "[" + name + "]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so\n\n";
  }
  TempDir dir_;
  TestEnv t_;
  DbState db_{t_.env};
};

TEST_F(DriverFallbackTest, OnlyThe20DriverRegisteredConnectsOnTheSecondAttempt) {
  Register(Section(kDriver20));
  EXPECT_TRUE(Connect(TestDb::kPassword).ok());
  EXPECT_EQ(db_.connect_attempts, 2);
  EXPECT_EQ(db_.DbVerbunden, 1);
  EXPECT_EQ(db_.db().Query("select 1 x").Text(0, "X"), "1");
}

TEST_F(DriverFallbackTest, NoDriverGivesTwoAttemptsAndNoConnection) {
  Register("");
  EXPECT_FALSE(Connect(TestDb::kPassword).ok());
  EXPECT_EQ(db_.connect_attempts, 2);
  EXPECT_EQ(db_.DbVerbunden, 0);
  EXPECT_TRUE(t_.ErrorLines().empty()) << "connecting writes no error-log entry";
}

TEST_F(DriverFallbackTest, The31DriverConnectsAtOnceAndAWrongPasswordIsNotRetried) {
  Register(Section(kDriver31) + Section(kDriver20));
  EXPECT_TRUE(Connect(TestDb::kPassword).ok());
  EXPECT_EQ(db_.connect_attempts, 1);

  db_.DbVerbunden = 0;
  EXPECT_FALSE(Connect("wrong").ok());
  EXPECT_EQ(db_.connect_attempts, 1) << "a refused password must not try the 2.0 driver";
}

TEST(DbConnectionTest, TrennenClosesOnceAndIgnoresAMissingConnection) {
  TestEnv t;
  DbState db(t.env);
  DB_Trennen(db);  // never connected: nothing happens
  EXPECT_EQ(db.DbVerbunden, 0);
  ASSERT_TRUE(testing::ConnectAsTestAccount(db, TestDb::Server()).ok());
  DB_Trennen(db);
  EXPECT_EQ(db.DbVerbunden, 0);
  EXPECT_EQ(db.DbVerbindung, nullptr);
  EXPECT_EQ(FailureOf([&] { db.db().Execute("select 1"); }).first, kErrConnectionLost)
      << "a statement without a connection must fail";
}

TEST(DbConnectionTest, ParametersWithQuotesAndUmlautsSurviveARoundTrip) {
  DbTestEnv t;
  const std::string name = "Müller's \"Tank\" \\ Straße; --'";
  t.sql().Execute(
      "insert into lox_station ( station, name1, strasse, plzort ) values ( ?, ?, ?, ? )",
      {"7", name, "", "12345 Öhringen"});
  const ResultSet rs = t.sql().Query(
      "select name1, plzort, length(name1) l, char_length(name1) c "
      "from lox_station where station = ?",
      {"7"});
  ASSERT_EQ(rs.RecordCount(), 1u);
  EXPECT_EQ(rs.Text(0, "NAME1"), name);
  EXPECT_EQ(rs.Text(0, "plzort"), "12345 Öhringen");
  EXPECT_EQ(rs.Text(0, "c"), "29") << "umlauts must be stored as characters";
  EXPECT_EQ(rs.Text(0, "l"), "31") << "and as UTF-8 bytes";
}

TEST(DbConnectionTest, NullIsToldApartFromEmptyTextAndErrorsCarryTheDriverText) {
  DbTestEnv t;
  const ResultSet rs = t.sql().Query("select null a, '' b, 5 c");
  EXPECT_FALSE(rs.Value(0, "a").has_value());
  ASSERT_TRUE(rs.Value(0, "B").has_value());
  EXPECT_EQ(*rs.Value(0, "b"), "");
  EXPECT_EQ(*rs.ValueAt(0, 2), "5");
  EXPECT_THROW(rs.Value(0, "nope"), Failure);
  EXPECT_THROW(rs.ValueAt(1, 0), Failure);
  const auto [number, text] = FailureOf([&] { t.sql().Execute("select * from no_such_table"); });
  EXPECT_EQ(number, 1146) << "the server's own error number";
  EXPECT_NE(text.find("no_such_table"), std::string::npos) << text;
}

TEST(DbConnectionTest, AFailedConnectSaysWhyWithoutThePassword) {
  TestEnv t;
  DbState db(t.env);
  Status refused = testing::ConnectAsTestAccount(db, TestDb::Server(), "falsches Kennwort");
  EXPECT_EQ(refused.code(), kErrConnectionLost);
  EXPECT_TRUE(refused.message().starts_with("SQLSTATE 28000, Fehler 1045: ")) << refused.message();
  EXPECT_NE(refused.message().find("Access denied"), std::string::npos);
  EXPECT_EQ(refused.message().find("falsches Kennwort"), std::string::npos);

  refused = testing::ConnectAsTestAccount(db, "127.0.0.1:1");
  EXPECT_NE(refused.message().find("Fehler 2002: "), std::string::npos)
      << "a closed port reads differently: " << refused.message();
  EXPECT_TRUE(DB_Verbinden(db, TestDb::Server()).ok());
  EXPECT_TRUE(t.ErrorLines().empty()) << "connecting writes no error-log entry";
}

// A lock another session holds is waited for 20 s on the server, then the
// statement ends as a lost connection; later statements fail at once rather
// than wait again, so the scheduler reconnects after one bounded wait.
TEST(DbConnectionTest, AHeldLockEndsAsALostConnectionAndLaterStatementsFailAtOnce) {
  DbTestEnv t;
  auto holder = TestDb::Connect();
  holder->Execute("lock tables lox_station write");
  const auto start = std::chrono::steady_clock::now();
  const auto [number, text] = FailureOf([&] { t.sql().Query("select * from lox_station"); });
  EXPECT_EQ(number, kErrConnectionLost) << "the locked table cannot be read: " << text;
  EXPECT_NE(text.find("Lock wait timeout"), std::string::npos) << text;
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::seconds(15));
  EXPECT_LT(waited, std::chrono::seconds(30)) << "the server's limit comes before the client's";
  holder->Execute("unlock tables");

  const auto again = std::chrono::steady_clock::now();
  EXPECT_EQ(FailureOf([&] { t.sql().Execute("select 1"); }).first, kErrConnectionLost)
      << "the connection counts as lost";
  EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::seconds(1));
  EXPECT_TRUE(DB_Verbinden(t.db, TestDb::Server()).ok()) << "a new connection works at once";
  EXPECT_NO_THROW(t.sql().Execute("select 1"));
}

// A reporter that vanishes inside a step (no power, a frozen machine) leaves
// its session idle in a transaction that holds the lease's row. The server
// ends such a session once the lease and a margin have passed, so that the
// standby can take the lease over instead of waiting for hours.
TEST(DbConnectionTest, ASessionIdleInsideAStepIsEndedAfterTheLeaseAndItsRowFreed) {
  DbTestEnv t;
  t.sql().Execute("create table if not exists idle_probe ( id int primary key, v int )");
  t.sql().Execute("replace into idle_probe values ( 1, 0 )");
  t.db.lease = LeaseClaim{"alpha", "token", "nonce", 2};
  ASSERT_TRUE(DB_Verbinden(t.db, TestDb::Server()).ok());
  t.sql().Execute("set autocommit = 0");
  t.sql().Execute("update idle_probe set v = 1 where id = 1");
  const auto vanished = std::chrono::steady_clock::now();

  // A lock wait counts as a lost connection: each try on a connection of its own.
  std::unique_ptr<Connection> standby;
  bool taken = false;
  while (!taken && std::chrono::steady_clock::now() - vanished < std::chrono::seconds(25)) {
    standby = TestDb::Connect();
    standby->Execute("set session innodb_lock_wait_timeout = 1");
    taken =
        FailureOf([&] { standby->Execute("update idle_probe set v = 2 where id = 1"); }).first == 0;
  }
  const auto freed = std::chrono::steady_clock::now() - vanished;
  EXPECT_TRUE(taken) << "the row stayed locked";
  EXPECT_GE(freed, std::chrono::seconds(11)) << "not before the lease and the margin";
  EXPECT_LT(freed, std::chrono::seconds(16));
  EXPECT_EQ(FailureOf([&] { t.sql().Execute("commit"); }).first, kErrConnectionLost)
      << "the vanished step cannot commit later";
  EXPECT_EQ(testing::QueryRows(*standby, "select v from idle_probe"), "2");
}

TEST(DbConnectionTest, ServerStoppedUnderAnOpenConnectionReportsTheLostConnectionNumber) {
  testing::PrivateServer server;
  TestEnv t;
  DbState db(t.env);
  ASSERT_TRUE(testing::ConnectAsTestAccount(db, server.Server()).ok());
  db.db().Execute("select 1");
  server.Stop();
  const auto [number, text] =
      FailureOf([&] { db.db().Execute("update lox_station set name1 = 'x'"); });
  EXPECT_EQ(number, kErrConnectionLost) << "a statement on a stopped server must fail: " << text;
  EXPECT_FALSE(DB_Verbinden(db, server.Server()).ok()) << "the server is gone";
}

}  // namespace
}  // namespace velunor
