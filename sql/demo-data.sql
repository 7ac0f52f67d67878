-- A small station network for the demo: twelve stations in seven federal
-- states, with umlauts in names and streets, regular, temporary and special
-- opening times, stations with and without LPG and CNG. Special periods are
-- dated relative to the day the data is loaded, so the demo stays current.
SET NAMES utf8mb4;

-- Central products: 1 Super E5, 2 Super E10, 3 Diesel, 4 LPG, 5 CNG, 6 Super Plus (not reported).
INSERT INTO stammdaten (id, value) VALUES
  (132, '12345000000000000000'),
  (135, 'Quillon Tankstellen GmbH & Co. KG'),
  (491, '0'),
  (999, 'Demo')
ON DUPLICATE KEY UPDATE value = VALUES(value);

INSERT INTO stammdaten_produkte (nummer, kuerzel) VALUES
  (1, 'SUP'), (2, 'E10'), (3, 'DIE'), (4, 'LPG'), (5, 'CNG'), (6, 'SPL');

INSERT INTO lox_station (station, name1, name2, matchcode, strasse, plzort) VALUES
  (1,  'Tankstelle Müller',            'Inh. Jörg Müller',   'MUELLER',  'Hauptstraße 12',        '70173 Stuttgart'),
  (2,  'Autohof Göppingen',            '',                   'GOEPPING', 'Stuttgarter Str. 150a', '73033 Göppingen'),
  (3,  'Station Ölmühle',              '',                   'OELMUEHL', 'An der Ölmühle 3',      '80331 München'),
  (4,  'Tankstelle Weißenburg',        'Weißenburger Tank',  'WEISSENB', 'Nürnberger Straße 7',   '91781 Weißenburg in Bayern'),
  (5,  'Elbtank Dresden',              '',                   'ELBTANK',  'Königsbrücker Str. 96', '01099 Dresden'),
  (6,  'Tankstelle am Rhein',          '',                   'RHEIN',    'Rheinuferstraße 1',     '50668 Köln'),
  (7,  'Hafentank "Nord" & Service',   'O''Brien KG',        'HAFEN',    'Am Kai 2-4',            '20457 Hamburg'),
  (8,  'Spreewald Tank',               '',                   'SPREE',    'Lübbenauer Chaussee 5', '03222 Lübbenau/Spreewald'),
  (9,  'Tankstelle Schwäbisch Hall',   '',                   'SHA',      'Crailsheimer Str. 33',  '74523 Schwäbisch Hall'),
  (10, 'Autobahntankstelle Würzburg',  'A3 Süd',             'A3WUE',    'Raststätte 1',          '97084 Würzburg'),
  (11, 'Tankstelle Bückeburg',         '',                   'BUECKE',   'Bahnhofstraße',         '31675 Bückeburg'),
  (12, 'Ostsee-Tank Warnemünde',       '',                   'OSTSEE',   'Am Strom 107',          '18119 Rostock');

INSERT INTO lox_station_mts
  (station, status, ps_aktiv, ps_aktiv_time, ps_id, ps_version, ps_brand, ps_latitude, ps_longitude,
   Bundesland_ID, gt_aktiv, gt_id) VALUES
  (1,  2, 1, 1, 'a1b2c3d4-0001-4000-8000-000000000001', 3, 'Quillon', '48.7758', '9.1829',  8,  0, 0),
  (2,  2, 1, 1, 'a1b2c3d4-0002-4000-8000-000000000002', 1, 'Quillon', '48.7031', '9.6520',  8,  1, 4711),
  (3,  2, 1, 0, 'a1b2c3d4-0003-4000-8000-000000000003', 7, 'Quillon', '48,1372', '11,5756', 9,  1, 4712),
  (4,  2, 1, 1, 'a1b2c3d4-0004-4000-8000-000000000004', 2, '',        '49.0307', '10.9717', 9,  0, 0),
  (5,  2, 1, 1, 'a1b2c3d4-0005-4000-8000-000000000005', 1, 'Elbtank', '51.0504', '13.7373', 14, 1, 4713),
  (6,  2, 1, 1, 'a1b2c3d4-0006-4000-8000-000000000006', 4, 'Quillon', '50.9375', '6.9603',  5,  0, 0),
  (7,  2, 1, 1, 'a1b2c3d4-0007-4000-8000-000000000007', 1, 'Quillon', '53.5461', '9.9661',  2,  0, 0),
  (8,  2, 1, 1, 'a1b2c3d4-0008-4000-8000-000000000008', 1, 'Quillon', '51.8667', '13.9667', 12, 1, 4714),
  (9,  2, 1, 1, 'a1b2c3d4-0009-4000-8000-000000000009', 2, 'Quillon', '49.1127', '9.7375',  8,  0, 0),
  (10, 2, 1, 1, 'a1b2c3d4-0010-4000-8000-000000000010', 5, 'Quillon', '49.7913', '9.9534',  9,  0, 0),
  (11, 2, 1, 1, 'a1b2c3d4-0011-4000-8000-000000000011', 1, 'Quillon', '52.2600', '9.0500',  3,  0, 0),
  (12, 2, 0, 0, 'a1b2c3d4-0012-4000-8000-000000000012', 1, 'Quillon', '54.1767', '12.0858', 13, 0, 0);

-- Station products: the station's own numbers (10 × station + central product).
INSERT INTO lox_station_produkte (station, station_produktnummer, zentrale_produktnummer, produkt_aktiv)
SELECT s.station, s.station * 10 + p.nummer, p.nummer,
       CASE WHEN s.station = 6 AND p.nummer = 2 THEN 'N' ELSE 'J' END
FROM lox_station s JOIN stammdaten_produkte p
WHERE p.nummer IN (1, 2, 3, 6)
   OR (p.nummer = 4 AND s.station IN (2, 3, 5, 8))
   OR (p.nummer = 5 AND s.station IN (3, 8));

INSERT INTO lox_station_aktuelle_preise (station, produkt, preis, datum)
SELECT station, station_produktnummer,
       CASE zentrale_produktnummer
         WHEN 1 THEN 1.759 + station / 1000
         WHEN 2 THEN 1.699 + station / 1000
         WHEN 3 THEN 1.589 + station / 1000
         WHEN 4 THEN 0.899 + station / 1000
         WHEN 5 THEN 1.149
         ELSE 1.899 END,
       NOW() - INTERVAL station MINUTE
FROM lox_station_produkte;

-- Opening times: zeitraum 0 regular, 1..3 temporary periods, 4 special periods.
-- Entry: opening hh:mm, closing hh:mm, Mo..Su flags, holiday flag, 24 Dec flag, 31 Dec flag.
INSERT INTO lox_station_mts_times (station, zeitraum, ps_time1, ps_time2, ps_time3, ps_time4, ps_time5, ps_time6, start_datum, end_datum) VALUES
  (1, 0, '06:0022:001111100011', '07:0021:000000011100', '', '', '', '', NULL, NULL),
  (2, 0, '00:0000:001111111111', '', '', '', '', '', NULL, NULL),
  (3, 0, '06:0012:001111100000', '14:0020:001111100000', '08:0014:000000011100', '', '', '', NULL, NULL),
  (4, 0, '05:3022:001111111111', '', '', '', '', '', NULL, NULL),
  (4, 1, '08:0018:001111111100', '', '', '', '', '', '20.12.', '06.01.'),
  (5, 0, '06:0022:001111111010', '', '', '', '', '', NULL, NULL),
  (6, 0, '06:0024:001111111100', '07:0020:001111111100', '', '', '', '', NULL, NULL),
  (7, 0, '00:0000:001111111111', '', '', '', '', '', NULL, NULL),
  (8, 0, '06:0021:001111110111', '', '', '', '', '', NULL, NULL),
  (9, 0, '06:3021:301111100000', '07:0020:000000011100', '', '', '', '', NULL, NULL),
  (10, 0, '00:0000:001111111111', '', '', '', '', '', NULL, NULL),
  (11, 0, '06:0020:001111100000', '08:0018:000000010000', '', '', '', '', NULL, NULL);

INSERT INTO lox_station_mts_times (station, zeitraum, ps_time1, ps_time2, ps_time3, ps_time4, ps_time5, ps_time6)
VALUES
  (1, 4,
   CONCAT(DATE_FORMAT(CURDATE() + INTERVAL 3 DAY, '%d.%m.%Y'), DATE_FORMAT(CURDATE() + INTERVAL 3 DAY, '%d.%m.%Y'), '00:0023:5901'),
   CONCAT(DATE_FORMAT(CURDATE() + INTERVAL 10 DAY, '%d.%m.%Y'), DATE_FORMAT(CURDATE() + INTERVAL 11 DAY, '%d.%m.%Y'), '10:0016:0010'),
   '', '', '', ''),
  (9, 4,
   CONCAT(DATE_FORMAT(CURDATE() + INTERVAL 1 DAY, '%d.%m.%Y'), DATE_FORMAT(CURDATE() + INTERVAL 1 DAY, '%d.%m.%Y'), '12:0014:0001'),
   '', '', '', '', '');
