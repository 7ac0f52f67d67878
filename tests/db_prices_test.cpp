// Master data, fuel assignment, price intake and price persistence against the
// private MariaDB with the project's schema.
#include <gtest/gtest.h>

#include "service/common/failure.h"
#include "service/db/connect.h"
#include "service/db/db_hand_ins.h"
#include "service/db/lox_stammdaten.h"
#include "service/db/preisdaten.h"
#include "service/db/stationskraftstoffe.h"
#include "tests/db_test.h"
#include "tests/expect_text.h"

namespace velunor {
namespace {

using testing::TestDb;

class DbPricesTest : public testing::DbTest {
 protected:
  void SetUp() override {
    t_.dir.Write("Velunor.CFG",
                 "CN=Test, C=DE\r\nhttps://127.0.0.1/grund\r\nhttps://127.0.0.1/preis\r\n");
    Sql("insert into stammdaten values (132, '12345000000000000000'), (133, '2026-000005'), "
        "(134, '2026-000007'), (135, 'Müller & Söhne'), (491, '0'), (999, 'x')");
    Sql("replace into stammdaten values (998, '131')");
    Sql("insert into stammdaten_produkte values (1, 'SUP'), (2, 'E10'), (3, 'DIE'), (4, 'LPG'), "
        "(5, 'CNG'), (25, 'XX')");
    Sql("insert into lox_station (station, name1) values (1, 'Station Eins'), (2, 'Zwei'), "
        "(3, 'Drei')");
    Sql("insert into lox_station_mts (station, ps_aktiv, ps_aktiv_time) values (1, 1, 1), "
        "(2, 1, 0), (3, 0, 0)");
    Sql("insert into lox_station_produkte values (1, 11, 1, 'J'), (1, 12, 2, 'J'), (1, 13, 3, "
        "'J'), "
        "(2, 21, 1, 'J'), (2, 23, 3, 'J'), (2, 24, 4, 'J'), (2, 22, 2, 'N'), (3, 31, 1, 'J')");
    Sql("insert into lox_station_aktuelle_preise values (1, 11, 1.859, '2026-12-06 08:00:00'), "
        "(1, 12, 1.799, '2026-12-06 08:01:00'), (1, 13, 1.659, '2026-12-06 08:02:00'), "
        "(2, 21, 1.899, '2026-12-06 07:00:00'), (2, 23, 1.699, '2026-12-06 07:30:00'), "
        "(2, 24, 0.899, '2026-12-06 07:45:00'), (3, 31, 1.5, '2026-12-06 06:00:00')");
    Sql("insert into mts_petrolstation_price values (1, 2, '1.859', '2026-12-05T10:00:00+01:00', "
        "'1.789', '2026-12-05T10:00:00+01:00', '1.659', '2024-05-01T13:45:00+02:00')");
  }
  std::string Cell(int row, int column) { return t_.window.cell(row, column); }
  // Runs the load and returns the message that ended it (cleared for the
  // next load), or "" when it ran through.
  std::string Load() {
    try {
      testing::LoadStammdaten(t_.db);
    } catch (const ProgramEnd& end) {
      EXPECT_EQ(t_.host.messages.size(), 1u) << "exactly one message before the end";
      EXPECT_EQ(t_.host.titles.back(), "Velunor");
      t_.host.messages.clear();
      return end.reason;
    }
    EXPECT_TRUE(t_.host.messages.empty());
    return "";
  }
};

TEST_F(DbPricesTest, ConfigurationFaultsEndTheStartOneAtATimeInTheirOrder) {
  Sql("update stammdaten set value = '130.9' where id = 998");
  Sql("update stammdaten set value = '1' where id = 491");
  Sql("update stammdaten set value = '' where id = 135");
  std::filesystem::remove(t_.dir.path() / "Velunor.CFG");
  EXPECT_EQ(Load(), "Zum Velunor muss die Datenbankversion mindestens den Stand 131 haben!");

  Sql("update stammdaten set value = 'abc' where id = 998");
  EXPECT_EQ(Load(), "Zum Velunor muss die Datenbankversion mindestens den Stand 131 haben!")
      << "a version that is not a number is too old";

  Sql("update stammdaten set value = '131' where id = 998");
  EXPECT_EQ(Load(),
            "Kein Pfad und Exportdatei für den Export Gas-Tankstelle in den Firmenstammdaten "
            "angegeben!");

  Sql("insert into stammdaten values (490, '/gibt/es/nicht/lpg.csv')");
  EXPECT_EQ(Load(), "Pfad '/gibt/es/nicht' für den Export Gas-Tankstelle nicht gefunden!")
      << "a Linux path is checked as well";

  Sql("update stammdaten set value = 'C:\\\\Portal\\\\Export\\\\lpg.csv' where id = 490");
  EXPECT_EQ(Load(), "Pfad 'C:\\Portal\\Export' für den Export Gas-Tankstelle nicht gefunden!");

  Sql("update stammdaten set value = '" + t_.dir.path().string() + "\\\\lpg.csv' where id = 490");
  EXPECT_EQ(Load(),
            "Einstellungen nicht gefunden. Bitte starten Sie Kestrin.EXE und nehmen die "
            "notwendigen Einstellungen vor!");

  t_.dir.Write("Velunor.CFG", "CN=Test\r\nhttps://grund\r\n");
  EXPECT_EQ(Load(),
            "Der Name oder die Organisation des Preismelders bei der MTS muss angegeben werden!");
  EXPECT_EQ(t_.db.settings.UrlGrunddatenlieferung, "https://grund");

  Sql("update stammdaten set value = 'lpg.csv' where id = 490");  // no folder: no check
  Sql("update stammdaten set value = 'A&B' where id = 135");
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(t_.window.frame1(), "Stationen zu A&&B");
  EXPECT_EQ(t_.db.settings.UrlPreisdatenlieferung, "") << "a short settings file leaves it empty";
  ASSERT_FALSE(t_.ErrorLines().empty());
  EXPECT_TRUE(Contains(t_.ErrorLines()[0], "DB_LOXStammdaten / 62 / "));
}

TEST_F(DbPricesTest, FuelCodesGiveCentralProductsListsAndTheHeadOfficeRow) {
  MasterData& m = t_.db.stammdaten;
  Sql("update stammdaten set value = '00123000000000000000' where id = 132");
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(m.CentralProductE5, 3);
  EXPECT_EQ(m.CentralProductE10, 4);
  EXPECT_EQ(m.CentralProductDiesel, 5);
  EXPECT_EQ(m.MtsProductList, " 0, 3, 4, 5");
  EXPECT_EQ(m.GasProductList, " 0");
  EXPECT_EQ(Cell(1, 0), "Zentrale");
  EXPECT_EQ(Cell(1, 2), "3 - DIE");
  EXPECT_EQ(Cell(1, 5), "----");

  Sql("update stammdaten set value = '1001' where id = 132");
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(m.CentralProductE5, 4) << "the highest position with a code wins";
  EXPECT_EQ(m.MtsProductList, " 0, 1, 4");

  Sql("update stammdaten set value = '0004500' where id = 132");
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(m.GasProductList, " 0, 4, 5");
  EXPECT_EQ(m.MtsProductList, " 0");
  EXPECT_EQ(m.CentralProductE5, 0);

  Sql("delete from stammdaten where id = 132");
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(m.MtsProductList, " 0");
  EXPECT_EQ(m.GasProductList, " 0");
  EXPECT_EQ(Cell(1, 2), "----");
  EXPECT_EQ(m.StationPublicationNumber, "2026-000005");
  EXPECT_EQ(m.PricePublicationNumber, "2026-000007");
  EXPECT_EQ(m.HolidayIdentifiers[8], "DE-BW");
  EXPECT_EQ(m.ProductShortNames[25], "") << "short names beyond 20 are skipped";
}

TEST_F(DbPricesTest, LoadMapsFuelsShowsStoredPricesAndTakesInChangedPrices) {
  Sql("insert into mts_holiday_identifier values (17, 'DE-XX')");
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(t_.ErrorLines().size(), 1u) << "the holiday number 17 fails for its row only";
  ASSERT_EQ(t_.window.grid_rows(), 8);
  const StationEntry& one = t_.db.stations[1];
  EXPECT_EQ(t_.service.row_of(1), 2);
  EXPECT_EQ(one.hasMtsFuels, 1);
  EXPECT_EQ(one.activeTime, 1);
  EXPECT_EQ(one.productE5, 11);
  EXPECT_EQ(one.productE10, 12);
  EXPECT_EQ(one.productDiesel, 13);
  EXPECT_EQ(one.priceE5.str(), " 1.859");
  EXPECT_EQ(one.priceTimeDiesel.str(), "2024-05-01T13:45:00+02:00");
  EXPECT_EQ(Cell(2, 0), "1 Station Eins");
  EXPECT_EQ(Cell(2, 1), "J");
  EXPECT_EQ(Cell(2, 3), "12");
  // Only Super E10 differs from the stored record.
  EXPECT_EQ(one.pricesChanged, 1);
  EXPECT_EQ(one.newPriceE10.str(), " 1.799");
  EXPECT_EQ(one.newPriceTimeE10.str(), "2026-12-06T08:01:00+01:00");
  EXPECT_TRUE(one.newPriceE5.Blank());
  EXPECT_TRUE(one.newPriceDiesel.Blank());
  EXPECT_EQ(Cell(3, 2), "1.859 €");
  EXPECT_EQ(Cell(3, 3), "1.799 €");
  EXPECT_EQ(Cell(3, 0), "     2026-12-06 08:01");

  const StationEntry& two = t_.db.stations[2];
  EXPECT_EQ(two.productE10, 0) << "an inactive product does not count";
  EXPECT_EQ(Cell(4, 3), "----");
  EXPECT_EQ(two.newPriceE5.str(), " 1.899") << "no stored record: every price is new";
  EXPECT_EQ(Cell(5, 5), "") << "LPG is not an MTS-K fuel";

  const StationEntry& three = t_.db.stations[3];
  EXPECT_EQ(three.hasMtsFuels, 0);
  EXPECT_EQ(Cell(6, 1), "N");
  EXPECT_EQ(three.pricesChanged, 0) << "a station that is not MTS-active never gets prices";
}

TEST_F(DbPricesTest, IntakeComparesNumbersAndMarksZeroPricesInSummerTime) {
  EXPECT_EQ(Load(), "");
  StationEntry& one = t_.db.stations[1];
  one.pricesChanged = 0;
  one.newPriceE10 = std::string();
  t_.service.PlaceStation(0, 1, "Station Eins");  // its price time unknown again
  t_.clock.SetZoneState(2);
  // Rows as the database may deliver them: a comma, a fourth decimal, a zero.
  t_.db.current_prices.rows = ResultSet({"station", "produkt", "preis", "datum"},
                                        {{"1", "11", "1,859", "2026-12-06T09:00:00"},
                                         {"1", "12", "1.7890", "2026-12-06T09:01:00"},
                                         {"1", "13", "0", "2026-12-06T09:02:00"},
                                         {"1", "99", "2.000", "2026-12-06T09:03:00"},
                                         {"1001", "11", "1.000", "2026-12-06T09:03:00"}});
  AktuellePreiseZuordnen(t_.db);
  EXPECT_TRUE(one.newPriceE5.Blank()) << "1,859 equals the stored 1.859";
  EXPECT_TRUE(one.newPriceE10.Blank()) << "1.7890 equals the stored 1.789";
  EXPECT_EQ(one.newPriceDiesel.str(), " 0.000");
  EXPECT_EQ(one.newPriceTimeDiesel.str(), "2026-12-06T09:02:00+02:00")
      << "the offset in force now, whatever the price's date";
  EXPECT_EQ(one.pricesChanged, 1);
  EXPECT_EQ(Cell(3, 4), "0.000 €");
  EXPECT_TRUE(t_.ErrorLines().empty());
  EXPECT_EQ(t_.db.stations.Find(1001), nullptr)
      << "a price of a station the network does not hold is no station of its own";

  // An equal price only fills an empty time cell.
  one.pricesChanged = 0;
  t_.service.PlaceStation(0, 1, "Station Eins");  // its price time unknown again
  t_.db.current_prices.rows = ResultSet({"station", "produkt", "preis", "datum"},
                                        {{"1", "11", "1.859", "2026-12-06T10:00:00"}});
  AktuellePreiseZuordnen(t_.db);
  EXPECT_EQ(one.pricesChanged, 0);
  EXPECT_EQ(Cell(3, 0), "     2026-12-06 10:00");

  // An empty table keeps the previous rows.
  Sql("delete from lox_station_aktuelle_preise");
  DB_Get_MTS_StationsPreise(t_.db);
  EXPECT_EQ(t_.db.current_prices.rows.RecordCount(), 1u);
}

TEST_F(DbPricesTest, PersistenceWritesHistoryPricesZeroForUnsoldFuelsAndOverrides) {
  EXPECT_EQ(Load(), "");
  MasterData& m = t_.db.stammdaten;
  m.FirstStationNumber = 1;
  m.LastStationNumber = 3;
  StationEntry& two = t_.db.stations[2];
  two.overrides[1] =
      testing::OverridePeriod(1, "2026-12-24T14:00:00+01:00", "2026-12-24T23:59:00+01:00");
  two.overrides[2] =
      testing::OverridePeriod(0, "2026-12-31T06:00:00+01:00", "2026-12-31T14:00:00+01:00");
  two.overrides[3] = {0, 0, {}, {}};
  two.overrides[4] = two.overrides[1];
  DB_Preisdaten(t_.db);
  EXPECT_TRUE(t_.ErrorLines().empty()) << t_.ErrorLines()[0];

  EXPECT_EQ(One("select count(*) from mts_petrolstation_price_historie"), "1")
      << "only station 1 had a record to copy";
  EXPECT_EQ(One("select ps_pricee10 from mts_petrolstation_price_historie"), "1.789");
  EXPECT_EQ(testing::StoredPrice(t_.sql(), 1, "ps_pricee10, ps_pricee10_time, ps_pricee5"),
            "1.799,2026-12-06T08:01:00+01:00,1.859")
      << "the changed E10; unchanged fuels keep their columns";
  EXPECT_EQ(testing::StoredPrice(t_.sql(), 2, "status, ps_pricee5, ps_pricee10, ps_pricediesel"),
            "2,1.899,0.0,1.699");
  EXPECT_EQ(One("select group_concat(ps_override_nr order by ps_override_nr) from "
                "mts_petrolstation_override_times where station = 2"),
            "1,2,4");
  EXPECT_EQ(One("select concat(ps_closed, ps_start, ps_end) from mts_petrolstation_override_times "
                "where station = 2 and ps_override_nr = 2"),
            "02026-12-31T06:00:00+01:002026-12-31T14:00:00+01:00");
  EXPECT_EQ(t_.db.stations[1].pricesChanged, 0);
  EXPECT_EQ(t_.db.stations[1].priceE10.str(), " 1.799");
  EXPECT_TRUE(t_.db.stations[1].newPriceE10.Blank());
  EXPECT_EQ(two.pricesChanged, 0);

  // Overrides alone: history copy under the new key, prices unchanged.
  two.overrides[4].active = 0;
  two.pricesChanged = 1;
  DB_Preisdaten(t_.db);
  const std::string key = One("select max(historie_id) from mts_petrolstation_price_historie");
  EXPECT_EQ(One("select count(*) from mts_petrolstation_override_times_historie where "
                "historie_id = " +
                key),
            "3");
  EXPECT_EQ(One("select count(*) from mts_petrolstation_override_times where station = 2"), "2");
  EXPECT_EQ(One("select ps_pricee5 from mts_petrolstation_price where station = 2"), "1.899");
}

// Each assignment is a step of its own: a NULL ps_aktiv_time upstream costs
// the station its price times (logged), not its fuels or stored prices; a
// failed price write is logged with the statement's values.
TEST_F(DbPricesTest, OneFailedStepHasOnlyItsOwnEffect) {
  const testing::OnExit restore([this] {
    Sql("update lox_station_mts set ps_aktiv_time = 0 where ps_aktiv_time is null");
    Sql("alter table lox_station_mts modify ps_aktiv_time int not null default 0");
    Sql("alter table mts_petrolstation_price drop column if exists pflicht");
  });
  Sql("alter table lox_station_mts modify ps_aktiv_time int null");
  Sql("update lox_station_mts set ps_aktiv_time = null where station = 1");
  EXPECT_EQ(Load(), "");
  const StationEntry& one = t_.db.stations[1];
  EXPECT_EQ(one.hasMtsFuels, 1);
  EXPECT_EQ(one.activeTime, 0);
  EXPECT_EQ(one.productE5, 11);
  EXPECT_EQ(one.productDiesel, 13);
  EXPECT_EQ(one.priceDiesel.str(), " 1.659") << "the stored prices are loaded";
  EXPECT_EQ(Cell(2, 4), "13");
  ASSERT_EQ(t_.ErrorLines().size(), 3u) << "one entry per product row";
  EXPECT_TRUE(Contains(t_.ErrorLines()[0], "--> DB_Get_MTS_Stationskraftstoffe / 94 / "));

  Sql("alter table mts_petrolstation_price add column pflicht int not null");
  t_.db.stammdaten.FirstStationNumber = 1;
  t_.db.stammdaten.LastStationNumber = 2;
  DB_Preisdaten(t_.db);
  const std::string failed = t_.ErrorLines().back();
  EXPECT_TRUE(Contains(failed, "--> DB_Preisdaten / 1364 / Zeile: 5 "));
  EXPECT_TRUE(Contains(failed, " values ( '2', '2', '1.899', '2026-12-06T07:00:00+01:00', '0.0', "))
      << "the statement with its values, not with markers";
  EXPECT_FALSE(Contains(failed, "?"));
}

TEST_F(DbPricesTest, TransferLogEscapesAndCutsItsText) {
  DB_TransferLog(t_.db, kTransferPricesFailed, "Fehler bei der Preisdaten-Übertragung");
  DB_TransferLog(t_.db, kTransferStationsOk, "O'Neil \\ \"x\" " + std::string(80, 'z'));
  EXPECT_EQ(
      One("select concat(log_code, ':', log_text) from mts_petrolstation_log where log_id = 1"),
      "200:Fehler bei der Preisdaten-Übertragung");
  EXPECT_EQ(One("select log_text from mts_petrolstation_log where log_id = 2"),
            "O'Neil \\ \"x\" " + std::string(80 - 17, 'z'));
  EXPECT_EQ(One("select count(*) from mts_petrolstation_log where log_zeit is not null"), "2");

  Sql("alter table mts_petrolstation_log modify log_code int not null check ( log_code < 100 )");
  DB_TransferLog(t_.db, kTransferPricesFailed, "Fehler bei der Preisdaten-Übertragung");
  Sql("alter table mts_petrolstation_log modify log_code int not null");
  ASSERT_EQ(t_.ErrorLines().size(), 1u) << testing::Joined(t_.ErrorLines());
  EXPECT_TRUE(Contains(t_.ErrorLines()[0], "--> DB_Preisdaten / 4025 / "))
      << "a lost transfer-log row is logged under the procedure that writes prices";
}

TEST_F(DbPricesTest, LostConnectionDuringPersistenceLosesNoPendingPrice) {
  EXPECT_EQ(Load(), "");
  MasterData& m = t_.db.stammdaten;
  m.FirstStationNumber = 1;
  m.LastStationNumber = 3;
  const std::string id = One("select connection_id()");
  TestDb::Connect()->Execute("kill " + id);

  DB_Preisdaten(t_.db);
  EXPECT_EQ(t_.log.LetzterFehler(), kErrConnectionLost);
  StationEntry& one = t_.db.stations[1];
  EXPECT_EQ(one.pricesChanged, 1) << "the row was not written: the station stays pending";
  EXPECT_EQ(one.priceE10.str(), " 1.799") << "the publication still carries the new price";
  EXPECT_TRUE(Contains(t_.ErrorLines()[0], "DB_Preisdaten / -2147467259 / Zeile: "));

  // The intake after the reconnect finds the price equal to the one shown and
  // must not drop the pending write.
  ASSERT_TRUE(DB_Verbinden(t_.db, t_.db.DbServer).ok());
  DB_Get_MTS_StationsPreise(t_.db);
  DB_Preisdaten(t_.db);
  EXPECT_EQ(one.pricesChanged, 0);
  EXPECT_EQ(One("select ps_pricee10 from mts_petrolstation_price where station = 1"), "1.799");
  EXPECT_EQ(One("select ps_pricee5 from mts_petrolstation_price where station = 2"), "1.899");
}

}  // namespace
}  // namespace velunor
