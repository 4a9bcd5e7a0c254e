-- Example Messages for a new Tolvane Quillbay database (SQLite and PostgreSQL alike).
-- Three groups; between them the bodies use every token kind.

INSERT INTO FAQ (ShortName, Hotword, Text, GroupID, Notes) VALUES
('Getting started', 'start',
'Welcome to Tolvane Quillbay.

In your e-mail program, press F11 to bring Tolvane Quillbay to the front. Type a Hotword into the search box and press Enter to show its Message, then press F12 to paste it into the e-mail program. Tools, Options sets your e-mail program and both keys. Groups such as this one hold related Messages; drag a Message onto another to move it.',
0,
'Delete these examples once you have written your own Messages.');

INSERT INTO FAQ (ShortName, Hotword, Text, GroupID, Notes) VALUES
('Orders and refunds', 'orders',
'Messages about orders, deliveries and refunds.', 0, NULL);

INSERT INTO FAQ (ShortName, Hotword, Text, GroupID, Notes) VALUES
('Technical support', 'support',
'Messages for technical questions.', 0, NULL);

INSERT INTO FAQ (ShortName, Hotword, Text, GroupID, Notes)
SELECT 'Signature', 'sig',
'Kind regards,
Customer Service', ID,
'Included by other Messages through %INCLUDE:sig%. Within an included text only further includes are filled in, so it holds no other tokens.'
FROM FAQ WHERE Hotword = 'start';

INSERT INTO FAQ (ShortName, Hotword, Text, GroupID, Notes)
SELECT 'Order status', 'status',
'Dear ^^INPUT:Customer''s first name||^^,

Thank you for your enquiry of %DATE%. Your order ^^INPUT:Order number||^^ has left our warehouse and should reach you within three working days.

%INCLUDE:sig%', ID, NULL
FROM FAQ WHERE Hotword = 'orders';

INSERT INTO FAQ (ShortName, Hotword, Text, GroupID, Notes)
SELECT 'Refund', 'refund',
'Dear ^^INPUT:Customer''s first name||^^,

We have refunded ^^INPUT:Amount||the full amount^^ to your card today (%DATE%). It may take up to five working days to appear on your statement.

%INCLUDE:sig%', ID,
'Refunds over 500 need a manager''s approval before this Message is sent.'
FROM FAQ WHERE Hotword = 'orders';

INSERT INTO FAQ (ShortName, Hotword, Text, GroupID, Notes)
SELECT 'Quote the customer''s question', 'quote',
'You wrote:

%CLIPBOARD%

Here is the answer to your question, written on %DATETIME%.

%INCLUDE:sig%', ID,
'Copy the customer''s question before sending: it takes the place of the clipboard token.'
FROM FAQ WHERE Hotword = 'support';

INSERT INTO FAQ (ShortName, Hotword, Text, GroupID, Notes)
SELECT 'Password reset', 'password',
'Dear ^^INPUT:Customer''s first name||^^,

To reset your password, open the sign-in page, choose "Forgotten password" and follow the link in the e-mail you receive.

%INCLUDE:sig%', ID, NULL
FROM FAQ WHERE Hotword = 'support';

INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'welcome' FROM FAQ WHERE Hotword = 'start';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'help' FROM FAQ WHERE Hotword = 'start';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'order' FROM FAQ WHERE Hotword = 'orders';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'support' FROM FAQ WHERE Hotword = 'support';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'signature' FROM FAQ WHERE Hotword = 'sig';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'order' FROM FAQ WHERE Hotword = 'status';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'delivery' FROM FAQ WHERE Hotword = 'status';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'order' FROM FAQ WHERE Hotword = 'refund';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'money back' FROM FAQ WHERE Hotword = 'refund';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'question' FROM FAQ WHERE Hotword = 'quote';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'password' FROM FAQ WHERE Hotword = 'password';
INSERT INTO FAQKeywords (FAQID, Keyword) SELECT ID, 'login' FROM FAQ WHERE Hotword = 'password';
