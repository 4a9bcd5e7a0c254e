-- Tolvane Quillbay Message database, SQLite (3.35 or later, with FTS5).
-- The program creates a new embedded database with this script; it also runs in the
-- sqlite3 shell:  sqlite3 quillbay.db < quillbay-sqlite.sql
-- Saved queries take their parameters in brackets, e.g. [Hotword:]; the program binds
-- them by name and never pastes their values into the SQL text.

CREATE TABLE FAQ (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    ShortName VARCHAR(50) CHECK (length(ShortName) <= 50),
    Hotword VARCHAR(50) NOT NULL COLLATE NOCASE CHECK (length(Hotword) <= 50),
    Text TEXT,
    GroupID INTEGER NOT NULL DEFAULT 0,
    Notes TEXT,
    Stamp INTEGER NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX FAQHotword ON FAQ (Hotword COLLATE NOCASE);
CREATE INDEX FAQChildren ON FAQ (GroupID, ShortName COLLATE NOCASE, ID);

CREATE TABLE FAQKeywords (
    KeywordID INTEGER PRIMARY KEY AUTOINCREMENT,
    FAQID INTEGER NOT NULL,
    Keyword VARCHAR(50) COLLATE NOCASE CHECK (length(Keyword) <= 50)
);
CREATE INDEX FAQKeywordsByKeyword ON FAQKeywords (Keyword COLLATE NOCASE, FAQID);
CREATE INDEX FAQKeywordsByFAQ ON FAQKeywords (FAQID);

CREATE TABLE FAQAttachments (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    FAQID INTEGER NOT NULL,
    Filename VARCHAR(255) CHECK (length(Filename) <= 255),
    PromptToUse BOOLEAN NOT NULL DEFAULT 0
);
CREATE INDEX FAQAttachmentsByFAQ ON FAQAttachments (FAQID);

CREATE TABLE FAQAction (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    FAQID INTEGER NOT NULL,
    Action VARCHAR(50),
    ActionTime TEXT DEFAULT CURRENT_TIMESTAMP
);
CREATE INDEX FAQActionByFAQ ON FAQAction (FAQID);

-- Full-text index over short name, Hotword, text and keywords; its rowid is FAQ.ID.
-- The trigram tokenizer finds any substring of three or more characters, ignoring case.
CREATE VIRTUAL TABLE FAQSearch USING fts5(ShortName, Hotword, Text, Keywords, tokenize = 'trigram');

CREATE TRIGGER FAQInserted AFTER INSERT ON FAQ BEGIN
    INSERT INTO FAQSearch (rowid, ShortName, Hotword, Text, Keywords)
    VALUES (new.ID, new.ShortName, new.Hotword, new.Text,
            (SELECT group_concat(Keyword, char(10)) FROM FAQKeywords WHERE FAQID = new.ID));
END;

CREATE TRIGGER FAQUpdated AFTER UPDATE OF ShortName, Hotword, Text ON FAQ BEGIN
    UPDATE FAQSearch SET ShortName = new.ShortName, Hotword = new.Hotword, Text = new.Text
    WHERE rowid = new.ID;
END;

-- Every change of a Message row advances its stamp; a save compares it with the stamp it
-- read, so that it never overwrites a change that another program made meanwhile.
CREATE TRIGGER FAQStamped AFTER UPDATE ON FAQ WHEN new.Stamp = old.Stamp BEGIN
    UPDATE FAQ SET Stamp = old.Stamp + 1 WHERE ID = new.ID;
END;

-- A Message takes its keywords, attachments and usage rows with it.
CREATE TRIGGER FAQDeleted AFTER DELETE ON FAQ BEGIN
    DELETE FROM FAQSearch WHERE rowid = old.ID;
    DELETE FROM FAQKeywords WHERE FAQID = old.ID;
    DELETE FROM FAQAttachments WHERE FAQID = old.ID;
    DELETE FROM FAQAction WHERE FAQID = old.ID;
END;

CREATE TRIGGER FAQKeywordInserted AFTER INSERT ON FAQKeywords BEGIN
    UPDATE FAQSearch
    SET Keywords = (SELECT group_concat(Keyword, char(10)) FROM FAQKeywords WHERE FAQID = new.FAQID)
    WHERE rowid = new.FAQID;
END;

CREATE TRIGGER FAQKeywordUpdated AFTER UPDATE ON FAQKeywords BEGIN
    UPDATE FAQSearch
    SET Keywords = (SELECT group_concat(Keyword, char(10)) FROM FAQKeywords WHERE FAQID = old.FAQID)
    WHERE rowid = old.FAQID;
    UPDATE FAQSearch
    SET Keywords = (SELECT group_concat(Keyword, char(10)) FROM FAQKeywords WHERE FAQID = new.FAQID)
    WHERE rowid = new.FAQID;
END;

CREATE TRIGGER FAQKeywordDeleted AFTER DELETE ON FAQKeywords BEGIN
    UPDATE FAQSearch
    SET Keywords = (SELECT group_concat(Keyword, char(10)) FROM FAQKeywords WHERE FAQID = old.FAQID)
    WHERE rowid = old.FAQID;
END;

-- The saved queries the program calls by name.
CREATE TABLE SavedQueries (
    Name VARCHAR(64) PRIMARY KEY COLLATE NOCASE,
    Body TEXT NOT NULL
);

INSERT INTO SavedQueries (Name, Body) VALUES ('TextByHotWord',
'SELECT ID, ShortName, Hotword, Text, GroupID FROM FAQ
WHERE Hotword = [Hotword:] COLLATE NOCASE');

INSERT INTO SavedQueries (Name, Body) VALUES ('TextByID',
'SELECT ID, ShortName, Hotword, Text, GroupID FROM FAQ WHERE ID = [ID:]');

INSERT INTO SavedQueries (Name, Body) VALUES ('FAQbyKeyword',
'SELECT ID, ShortName, Hotword, Text, GroupID FROM FAQ
WHERE ID IN (SELECT FAQID FROM FAQKeywords WHERE Keyword = [keyword:] COLLATE NOCASE)
ORDER BY ShortName COLLATE NOCASE, ID');

-- Terms of three or more characters go through the trigram index as one quoted phrase;
-- shorter ones, which the index cannot serve, are matched with LIKE, wildcards escaped.
INSERT INTO SavedQueries (Name, Body) VALUES ('fulltext',
'SELECT FAQ.ID, FAQ.ShortName, FAQ.Hotword, FAQ.Text, FAQ.GroupID
FROM FAQSearch JOIN FAQ ON FAQ.ID = FAQSearch.rowid
WHERE length([search term:]) >= 3
  AND FAQSearch MATCH ''"'' || replace([search term:], ''"'', ''""'') || ''"''
UNION ALL
SELECT f.ID, f.ShortName, f.Hotword, f.Text, f.GroupID
FROM FAQ f, (SELECT ''%'' || replace(replace(replace([search term:], ''\'', ''\\''), ''%'', ''\%''),
                                     ''_'', ''\_'') || ''%'' AS pattern) p
WHERE length([search term:]) BETWEEN 1 AND 2
  AND (f.ShortName LIKE p.pattern ESCAPE ''\'' OR f.Hotword LIKE p.pattern ESCAPE ''\''
       OR f.Text LIKE p.pattern ESCAPE ''\''
       OR EXISTS (SELECT 1 FROM FAQKeywords k WHERE k.FAQID = f.ID
                  AND k.Keyword LIKE p.pattern ESCAPE ''\''))
LIMIT 50');

INSERT INTO SavedQueries (Name, Body) VALUES ('FAQDescandIDByParentID',
'SELECT ID, ShortName, Hotword, GroupID FROM FAQ WHERE GroupID = [parentid:]
ORDER BY ShortName COLLATE NOCASE, ID');

INSERT INTO SavedQueries (Name, Body) VALUES ('CountByParentID',
'SELECT count(*) AS "count" FROM FAQ WHERE GroupID = [groupid:]');

INSERT INTO SavedQueries (Name, Body) VALUES ('AttachmentsByID',
'SELECT ID, FAQID, Filename, PromptToUse FROM FAQAttachments WHERE FAQID = [FAQID:] ORDER BY ID');

INSERT INTO SavedQueries (Name, Body) VALUES ('updateparentid',
'UPDATE FAQ SET GroupID = [newparentid:] WHERE ID = [id:]');
