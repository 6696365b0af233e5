-- The example bookshop: genres, authors, books and readers' reviews, and the
-- table `pages` with one row per web page (the home page, one page per book,
-- one per author). The build turns this file into bookshop.sqlite.
--
-- Declared types decide how a value is written into a page: INTEGER and REAL
-- as numbers, CURRENCY without trailing zeros (9.99, 12.5), BOOLEAN as True or
-- False, DATETIME as YYYY-MM-DD (a time of day is added when it is not
-- midnight), TEXT unchanged. Column names are kept in lower case, so that they
-- also work with the field:= option of the field tags.

PRAGMA foreign_keys = ON;
BEGIN TRANSACTION;

CREATE TABLE genres (
    id          INTEGER PRIMARY KEY,
    slug        TEXT NOT NULL UNIQUE,
    name        TEXT NOT NULL,
    position    INTEGER NOT NULL,
    description TEXT
);

CREATE TABLE authors (
    id        INTEGER PRIMARY KEY,
    slug      TEXT NOT NULL UNIQUE,
    name      TEXT NOT NULL,
    sort_name TEXT NOT NULL,
    born      INTEGER,
    died      INTEGER,
    country   TEXT,
    bio       TEXT
);

CREATE TABLE books (
    id             INTEGER PRIMARY KEY,
    slug           TEXT NOT NULL UNIQUE,
    title          TEXT NOT NULL,
    author_id      INTEGER NOT NULL REFERENCES authors (id),
    genre_id       INTEGER NOT NULL REFERENCES genres (id),
    year_published INTEGER,
    translator     TEXT,
    page_count     INTEGER,
    weight_kg      REAL,
    price          CURRENCY NOT NULL,
    in_stock       BOOLEAN NOT NULL,
    added          DATETIME NOT NULL,
    blurb          TEXT
);

CREATE TABLE reviews (
    id          INTEGER PRIMARY KEY,
    book_id     INTEGER NOT NULL REFERENCES books (id),
    reviewer    TEXT NOT NULL,
    rating      INTEGER NOT NULL CHECK (rating BETWEEN 1 AND 5),
    reviewed_on DATETIME NOT NULL,
    body        TEXT NOT NULL
);

-- One row per page. template_file names the template (in templates/),
-- page_file the page that is written (in site/). summary goes into the
-- page's description.
CREATE TABLE pages (
    page_id       INTEGER PRIMARY KEY,
    template_file TEXT NOT NULL,
    page_file     TEXT NOT NULL UNIQUE,
    title         TEXT NOT NULL,
    summary       TEXT,
    book_id       INTEGER REFERENCES books (id),
    author_id     INTEGER REFERENCES authors (id)
);

INSERT INTO genres (id, slug, name, position, description) VALUES
    (1, 'classics', 'Classics', 1, 'Novels that have been read, argued over and loved for generations.'),
    (2, 'literary-fiction', 'Literary fiction', 2, 'Stories that take their time with language and with people.'),
    (3, 'science-fiction', 'Science fiction', 3, 'Other worlds, other societies, and what they tell us about this one.'),
    (4, 'fantasy', 'Fantasy', 4, 'Magic, dragons and the price of power.'),
    (5, 'poetry', 'Poetry', 5, 'Our poetry shelf is being restocked.');

INSERT INTO authors (id, slug, name, sort_name, born, died, country, bio) VALUES
    (1, 'charlotte-bronte', 'Charlotte Brontë', 'Brontë, Charlotte', 1816, 1855, 'England',
     'The eldest of the three Brontë sisters who lived to adulthood. She published Jane Eyre in 1847 under the name Currer Bell, and it was an immediate success.'),
    (2, 'gabriel-garcia-marquez', 'Gabriel García Márquez', 'García Márquez, Gabriel', 1927, 2014, 'Colombia',
     'Novelist, short-story writer and journalist from Aracataca, Colombia, and the best-known voice of magical realism. He received the Nobel Prize in Literature in 1982.'),
    (3, 'ursula-k-le-guin', 'Ursula K. Le Guin', 'Le Guin, Ursula K.', 1929, 2018, 'United States',
     'American writer of science fiction and fantasy, poems and essays. Her Earthsea books and her novels of the Hainish worlds changed what both genres could do.'),
    (4, 'jane-austen', 'Jane Austen', 'Austen, Jane', 1775, 1817, 'England',
     'Wrote six finished novels about love, money and manners among the English gentry, full of irony and still very funny.'),
    (5, 'stanislaw-lem', 'Stanisław Lem', 'Lem, Stanisław', 1921, 2006, 'Poland',
     'Polish writer of science fiction, satire and philosophy, born in Lwów. His books have been translated into more than forty languages.'),
    (6, 'italo-calvino', 'Italo Calvino', 'Calvino, Italo', 1923, 1985, 'Italy',
     'Italian writer, born in Cuba and raised in San Remo, whose playful, inventive books range from folk tales to stories built like puzzles.');

INSERT INTO books (id, slug, title, author_id, genre_id, year_published, translator, page_count, weight_kg, price, in_stock, added, blurb) VALUES
    (1, 'jane-eyre', 'Jane Eyre', 1, 1, 1847, NULL, 532, 0.38, 8.99, 1, '2025-06-12',
     'An orphan becomes a governess at Thornfield Hall and will not give up her own judgement, not even for love.'),
    (2, 'villette', 'Villette', 1, 1, 1853, NULL, 592, 0.42, 9.49, 0, '2025-08-30',
     'Lucy Snowe leaves England to teach at a girls'' school in a foreign city, and keeps her feelings hidden even from the reader.'),
    (3, 'one-hundred-years-of-solitude', 'One Hundred Years of Solitude', 2, 2, 1967, 'Gregory Rabassa', 422, 0.34, 10.99, 1, '2025-05-02',
     'Seven generations of the Buendía family in the town of Macondo, from its founding to its end.'),
    (4, 'love-in-the-time-of-cholera', 'Love in the Time of Cholera', 2, 2, 1985, 'Edith Grossman', 368, 0.31, 10.49, 1, '2025-09-18',
     'Florentino Ariza waits more than fifty years for the woman he fell in love with as a young man.'),
    (5, 'chronicle-of-a-death-foretold', 'Chronicle of a Death Foretold', 2, 2, 1981, 'Gregory Rabassa', 128, 0.14, 7.99, 1, '2025-10-07',
     'Everyone in town knew that Santiago Nasar was going to be killed. A short novel told like an investigation.'),
    (6, 'the-left-hand-of-darkness', 'The Left Hand of Darkness', 3, 3, 1969, NULL, 304, 0.25, 9.99, 1, '2025-04-21',
     'An envoy is sent to the icy planet Gethen, whose people are neither men nor women.'),
    (7, 'the-dispossessed', 'The Dispossessed', 3, 3, 1974, NULL, 387, 0.3, 9.99, 1, '2025-07-09',
     'A physicist from an anarchist moon travels to its rich twin planet, and sees both more clearly.'),
    (8, 'a-wizard-of-earthsea', 'A Wizard of Earthsea', 3, 4, 1968, NULL, 183, 0.18, 8.49, 1, '2025-11-03',
     'A gifted, proud boy learns the true names of things, and releases a shadow he must then hunt down.'),
    (9, 'pride-and-prejudice', 'Pride and Prejudice', 4, 1, 1813, NULL, 432, 0.33, 6.99, 1, '2025-03-15',
     'Elizabeth Bennet and Mr Darcy misjudge each other thoroughly, and take a whole novel to find out.'),
    (10, 'persuasion', 'Persuasion', 4, 1, 1817, NULL, 272, 0.22, 6.99, 1, '2025-11-20',
     'Eight years after she was persuaded to break off her engagement, Anne Elliot meets Captain Wentworth again.'),
    (11, 'solaris', 'Solaris', 5, 3, 1961, 'Joanna Kilmartin and Steve Cox', 204, 0.2, 9.49, 1, '2025-10-25',
     'Scientists orbiting an ocean planet find that the ocean is studying them back.'),
    (12, 'the-cyberiad', 'The Cyberiad', 5, 3, 1965, 'Michael Kandel', 295, 0.27, 11.95, 0, '2025-11-28',
     'Fables of Trurl and Klapaucius, two robot constructors who can build anything, and usually do.'),
    (13, 'invisible-cities', 'Invisible Cities', 6, 2, 1972, 'William Weaver', 165, 0.16, 9.95, 1, '2025-09-01',
     'Marco Polo describes to Kublai Khan cities that may all be one city.'),
    (14, 'if-on-a-winters-night-a-traveller', 'If on a winter''s night a traveller', 6, 2, 1979, 'William Weaver', 260, 0.24, 10.95, 1, '2025-06-30',
     'You begin reading a novel; the pages break off, and you go looking for the rest of the story.');

INSERT INTO reviews (id, book_id, reviewer, rating, reviewed_on, body) VALUES
    (1, 1, 'Zoë H.', 5, '2025-07-02', 'I read it at fifteen and again now. Jane is even braver than I remembered.'),
    (2, 1, 'Tom W.', 4, '2025-08-19', 'The first half is unbeatable. The last third goes on a little, but the ending is worth it.'),
    (3, 1, 'Aoife B.', 5, '2025-10-11', 'Gothic, funny and angry, all at once.'),
    (4, 2, 'Søren K.', 4, '2025-09-23', 'Stranger and quieter than Jane Eyre, and it stays with you longer.'),
    (5, 3, 'José M.', 5, '2025-05-30', 'Lo leí primero en español; the translation keeps the music. Keep a family tree beside you.'),
    (6, 3, 'Priya N.', 4, '2025-07-14', 'Dizzying and beautiful. I lost track of the Aurelianos and did not mind.'),
    (7, 3, 'Tom W.', 3, '2025-11-08', 'Admired it more than I loved it.'),
    (8, 4, 'Amélie D.', 5, '2025-10-02', 'The most patient love story ever written, and a very funny one.'),
    (9, 4, 'Mateusz W.', 4, '2025-11-15', 'Slow to start, then impossible to put down.'),
    (10, 5, 'Priya N.', 5, '2025-10-20', 'You know the ending from the first line and still read it in one sitting.'),
    (11, 6, 'Aoife B.', 5, '2025-05-12', 'The journey across the ice is one of the best things in any novel.'),
    (12, 6, 'Søren K.', 4, '2025-08-03', 'A thought experiment with a beating heart.'),
    (13, 6, 'Zoë H.', 5, '2025-09-29', 'Bought three copies to give away.'),
    (14, 7, 'Mateusz W.', 5, '2025-07-28', 'The best novel about politics I have read, and it is science fiction.'),
    (15, 7, 'Tom W.', 4, '2025-10-16', 'Demanding, but it rewards every page.'),
    (16, 8, 'José M.', 5, '2025-11-12', 'Short, dark and wise. Do not let anyone tell you it is only for children.'),
    (17, 9, 'Amélie D.', 5, '2025-04-01', 'Still the wittiest first chapter in English.'),
    (18, 9, 'Zoë H.', 4, '2025-06-06', 'Mrs Bennet deserves more sympathy than she gets.'),
    (19, 11, 'Mateusz W.', 5, '2025-11-19', 'Czytałem po polsku i po angielsku: chilling in both.'),
    (20, 13, 'Priya N.', 4, '2025-09-14', 'Read one city a night, like a book of dreams.'),
    (21, 14, 'Søren K.', 5, '2025-07-21', 'A novel about reading that is a joy to read.');

-- The home page first, then the books by title, then the authors by name.
INSERT INTO pages (page_id, template_file, page_file, title, summary, book_id, author_id) VALUES
    (1, 'index.html', 'index.html', 'Korvane Books',
     'A small independent bookshop: classics, literary fiction, science fiction and fantasy.', NULL, NULL);

INSERT INTO pages (template_file, page_file, title, summary, book_id, author_id)
    SELECT 'book.html', 'book-' || slug || '.html', title, blurb, id, NULL
    FROM books ORDER BY title;

INSERT INTO pages (template_file, page_file, title, summary, book_id, author_id)
    SELECT 'author.html', 'author-' || slug || '.html', name, bio, NULL, id
    FROM authors ORDER BY sort_name;

COMMIT;
