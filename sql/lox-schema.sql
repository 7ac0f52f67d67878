-- Tables of the database `lox` that the reporting service reads and writes:
-- the upstream station and price tables (written by the station management
-- system) and the MTS-K tables the service keeps with their history.
-- Loaded into the private test and demo servers; a production `lox` database
-- already has these tables. Character set utf8mb4 throughout.
--
-- The LPG-portal export reads four columns without a table prefix:
-- `name2` and `matchcode` belong to the station itself (lox_station);
-- `gt_aktiv` and `gt_id` are the portal switch and id, kept with the
-- station's reporting data (lox_station_mts). Each name exists in one table
-- only, so the export's join stays unambiguous.

SET NAMES utf8mb4;
SET default_storage_engine = InnoDB;

CREATE TABLE IF NOT EXISTS lox_station (
  station   INT NOT NULL PRIMARY KEY,
  name1     VARCHAR(100) NOT NULL DEFAULT '',
  name2     VARCHAR(100) NOT NULL DEFAULT '',
  matchcode VARCHAR(40)  NOT NULL DEFAULT '',
  strasse   VARCHAR(100) NOT NULL DEFAULT '',
  plzort    VARCHAR(100) NOT NULL DEFAULT ''
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS lox_station_mts (
  station       INT NOT NULL PRIMARY KEY,
  status        INT NOT NULL DEFAULT 1,
  ps_aktiv      INT NOT NULL DEFAULT 0,
  ps_aktiv_time INT NOT NULL DEFAULT 0,
  ps_id         VARCHAR(64)  NOT NULL DEFAULT '',
  ps_version    INT NOT NULL DEFAULT 0,
  ps_brand      VARCHAR(100) NOT NULL DEFAULT '',
  ps_latitude   VARCHAR(20)  NOT NULL DEFAULT '',
  ps_longitude  VARCHAR(20)  NOT NULL DEFAULT '',
  Bundesland_ID INT NULL,
  gt_aktiv      INT NOT NULL DEFAULT 0,
  gt_id         INT NOT NULL DEFAULT 0
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS lox_station_mts_times (
  station     INT NOT NULL,
  zeitraum    INT NOT NULL,
  ps_time1    VARCHAR(40) NULL,
  ps_time2    VARCHAR(40) NULL,
  ps_time3    VARCHAR(40) NULL,
  ps_time4    VARCHAR(40) NULL,
  ps_time5    VARCHAR(40) NULL,
  ps_time6    VARCHAR(40) NULL,
  start_datum VARCHAR(10) NULL,
  end_datum   VARCHAR(10) NULL,
  KEY (station, zeitraum)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS lox_station_produkte (
  station                INT NOT NULL,
  station_produktnummer  INT NOT NULL,
  zentrale_produktnummer INT NOT NULL,
  produkt_aktiv          CHAR(1) NOT NULL DEFAULT 'J',
  PRIMARY KEY (station, station_produktnummer)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS lox_station_aktuelle_preise (
  station INT NOT NULL,
  produkt INT NOT NULL,
  preis   DECIMAL(6,3) NOT NULL,
  datum   DATETIME NOT NULL,
  PRIMARY KEY (station, produkt)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS stammdaten (
  id    INT NOT NULL PRIMARY KEY,
  value VARCHAR(255) NOT NULL DEFAULT ''
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS stammdaten_produkte (
  nummer  INT NOT NULL PRIMARY KEY,
  kuerzel VARCHAR(20) NOT NULL DEFAULT ''
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS mts_holiday_identifier (
  nummer     INT NOT NULL PRIMARY KEY,
  identifier VARCHAR(40) NOT NULL DEFAULT ''
) DEFAULT CHARSET = utf8mb4;

-- ps_housenumber is as wide as lox_station.strasse: it is the tail of that text
-- from its first digit, which for a street name with a digit can be most of it.
CREATE TABLE IF NOT EXISTS mts_petrolstation (
  station         INT NOT NULL PRIMARY KEY,
  status          INT NOT NULL DEFAULT 0,
  ps_id           VARCHAR(64)  NULL,
  ps_version      INT NULL,
  ps_version_time VARCHAR(25)  NULL,
  ps_name         VARCHAR(100) NULL,
  ps_brand        VARCHAR(100) NULL,
  ps_street       VARCHAR(100) NULL,
  ps_housenumber  VARCHAR(100) NULL,
  ps_postcode     VARCHAR(10)  NULL,
  ps_place        VARCHAR(100) NULL,
  ps_latitude     VARCHAR(20)  NULL,
  ps_longitude    VARCHAR(20)  NULL,
  ps_federalstate VARCHAR(40)  NULL
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS mts_petrolstation_historie (
  historie_id     INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  station         INT NOT NULL,
  status          INT NOT NULL DEFAULT 0,
  ps_id           VARCHAR(64)  NULL,
  ps_version      INT NULL,
  ps_version_time VARCHAR(25)  NULL,
  ps_name         VARCHAR(100) NULL,
  ps_brand        VARCHAR(100) NULL,
  ps_street       VARCHAR(100) NULL,
  ps_housenumber  VARCHAR(100) NULL,
  ps_postcode     VARCHAR(10)  NULL,
  ps_place        VARCHAR(100) NULL,
  ps_latitude     VARCHAR(20)  NULL,
  ps_longitude    VARCHAR(20)  NULL,
  ps_federalstate VARCHAR(40)  NULL,
  KEY (station)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS mts_petrolstation_times (
  station       INT NOT NULL,
  satz          INT NOT NULL,
  ps_typ        INT NOT NULL DEFAULT 1,
  ps_starttime  VARCHAR(8) NOT NULL DEFAULT '',
  ps_endtime    VARCHAR(8) NOT NULL DEFAULT '',
  ps_wochentag  VARCHAR(8) NOT NULL DEFAULT '',
  ps_starttime2 VARCHAR(8) NULL,
  ps_endtime2   VARCHAR(8) NULL,
  UNIQUE KEY (station, satz)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS mts_petrolstation_times_historie (
  historie_id   INT NOT NULL,
  station       INT NOT NULL,
  satz          INT NOT NULL,
  ps_typ        INT NOT NULL DEFAULT 1,
  ps_starttime  VARCHAR(8) NOT NULL DEFAULT '',
  ps_endtime    VARCHAR(8) NOT NULL DEFAULT '',
  ps_wochentag  VARCHAR(8) NOT NULL DEFAULT '',
  ps_starttime2 VARCHAR(8) NULL,
  ps_endtime2   VARCHAR(8) NULL,
  KEY (historie_id),
  KEY (station)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS mts_petrolstation_price (
  station             INT NOT NULL PRIMARY KEY,
  status              INT NOT NULL DEFAULT 0,
  ps_pricee5          VARCHAR(10) NULL,
  ps_pricee5_time     VARCHAR(25) NULL,
  ps_pricee10         VARCHAR(10) NULL,
  ps_pricee10_time    VARCHAR(25) NULL,
  ps_pricediesel      VARCHAR(10) NULL,
  ps_pricediesel_time VARCHAR(25) NULL
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS mts_petrolstation_price_historie (
  historie_id         INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  station             INT NOT NULL,
  status              INT NOT NULL DEFAULT 0,
  ps_pricee5          VARCHAR(10) NULL,
  ps_pricee5_time     VARCHAR(25) NULL,
  ps_pricee10         VARCHAR(10) NULL,
  ps_pricee10_time    VARCHAR(25) NULL,
  ps_pricediesel      VARCHAR(10) NULL,
  ps_pricediesel_time VARCHAR(25) NULL,
  KEY (station)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS mts_petrolstation_override_times (
  station        INT NOT NULL,
  ps_override_nr INT NOT NULL,
  ps_closed      INT NOT NULL DEFAULT 0,
  ps_start       VARCHAR(25) NOT NULL DEFAULT '',
  ps_end         VARCHAR(25) NOT NULL DEFAULT '',
  KEY (station)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS mts_petrolstation_override_times_historie (
  historie_id    INT NOT NULL,
  station        INT NOT NULL,
  ps_override_nr INT NOT NULL,
  ps_closed      INT NOT NULL DEFAULT 0,
  ps_start       VARCHAR(25) NOT NULL DEFAULT '',
  ps_end         VARCHAR(25) NOT NULL DEFAULT '',
  KEY (historie_id)
) DEFAULT CHARSET = utf8mb4;

CREATE TABLE IF NOT EXISTS mts_petrolstation_log (
  log_id   INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  log_zeit TIMESTAMP NULL DEFAULT NULL,
  log_code INT NOT NULL,
  log_text VARCHAR(80) NOT NULL DEFAULT ''
) DEFAULT CHARSET = utf8mb4;

-- log_zeit is inserted as null and takes the time of insertion by itself.
DROP TRIGGER IF EXISTS mts_petrolstation_log_zeit;
CREATE TRIGGER mts_petrolstation_log_zeit BEFORE INSERT ON mts_petrolstation_log
  FOR EACH ROW SET NEW.log_zeit = COALESCE(NEW.log_zeit, CURRENT_TIMESTAMP);

-- The service's own state, which must outlive a restart and be shared by
-- every machine that runs it: when the MTS-K last acknowledged a publication
-- of each kind (and since when the service has watched without one). The
-- service makes this table itself when it is missing.
CREATE TABLE IF NOT EXISTS velunor_state (
  name    VARCHAR(40) NOT NULL PRIMARY KEY,
  value   VARCHAR(255) NOT NULL DEFAULT '',
  changed TIMESTAMP NULL DEFAULT NULL
) DEFAULT CHARSET = utf8mb4;

-- The reporter lease of the service: the one row (id 1) names the instance
-- that reports (holder, its token, the nonce of its process) and until when
-- (expires, by this server's clock, in UTC); another instance takes over
-- only once it has run out.
-- The service makes this table itself when it is missing.
CREATE TABLE IF NOT EXISTS velunor_lease (
  id      INT NOT NULL PRIMARY KEY,
  holder  VARCHAR(255) NOT NULL DEFAULT '',
  token   VARCHAR(64) NOT NULL DEFAULT '',
  nonce   VARCHAR(64) NOT NULL DEFAULT '',
  since   DATETIME NULL DEFAULT NULL,
  renewed DATETIME NULL DEFAULT NULL,
  expires DATETIME NULL DEFAULT NULL
) DEFAULT CHARSET = utf8mb4;

-- Stations synchronised but not yet acknowledged by the MTS-K, and since
-- when (by this server's clock): whichever instance reports next sends them
-- again. The service makes this table itself when it is missing.
CREATE TABLE IF NOT EXISTS velunor_pending_station (
  station INT NOT NULL PRIMARY KEY,
  since   TIMESTAMP NULL DEFAULT NULL
) DEFAULT CHARSET = utf8mb4;

-- The MTS-K public-holiday identifiers of the 16 federal states, by the
-- official state number.
INSERT IGNORE INTO mts_holiday_identifier (nummer, identifier) VALUES
  (1, 'DE-SH'), (2, 'DE-HH'), (3, 'DE-NI'), (4, 'DE-HB'), (5, 'DE-NW'), (6, 'DE-HE'),
  (7, 'DE-RP'), (8, 'DE-BW'), (9, 'DE-BY'), (10, 'DE-SL'), (11, 'DE-BE'), (12, 'DE-BB'),
  (13, 'DE-MV'), (14, 'DE-SN'), (15, 'DE-ST'), (16, 'DE-TH');

-- The database version the service requires at least.
INSERT IGNORE INTO stammdaten (id, value) VALUES (998, '131');
