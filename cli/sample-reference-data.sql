-- Sample reference data for a new database: three branches of a company in Graz, Wien and Linz.
INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('GRZ', 'Zentrale Graz', '0316471*');
INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('WIE', 'Filiale Wien', '0153362*');
INSERT INTO Filialen (Kurz, Name, ANummer) VALUES ('LNZ', 'Filiale Linz', '0732778899');
-- Validity as day serials: 37622 = 01.01.2003, 37987 = 01.01.2004, 2958465 = 31.12.9999.
INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES ('GRZ', '', 37622, 2958465.99998843, 'GF-100');
INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES ('GRZ', '11', 37622, 2958465.99998843, 'VK-210');
INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES ('GRZ', '12', 37622, 2958465.99998843, 'VK-210');
INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES ('GRZ', '25', 37622, 37680.99998843, 'EK-300');
INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES ('GRZ', '25', 37681, 2958465.99998843, 'IT-400');
INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES ('WIE', '', 37622, 2958465.99998843, 'VK-220');
INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES ('WIE', '30', 37622, 2958465.99998843, 'GF-110');
INSERT INTO Kostenstellen (FilialeID, Nebenstelle, VonZeit, BisZeit, Kostenstelle) VALUES ('LNZ', '', 37622, 2958465.99998843, 'LG-500');
INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Regionalzone', 'GZ', 0, 'I');
INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Österreich', 'GZ', 10, 'I');
INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Österreich', 'FZ', 15, 'I');
INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Mobilnetz', 'GZ', 5, 'I');
INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Mobilnetz', 'FZ', 5, 'I');
INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Deutschland', 'GZ', 8, 'A');
INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Nachbarländer', 'GZ', 0, 'A');
INSERT INTO Zonenrabatte (Zone, GZ, RabattProz, IAS) VALUES ('Sonderrufnummern', 'GZ', 0, 'S');
