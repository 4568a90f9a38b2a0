#include "breaks.h"
#include "markup.h"
#include "speech.h"
#include "splitting.h"
#include "words.h"

#include <QRandomGenerator>
#include <QTest>

// Splitting passages; its rules are pinned by the corpus's split-* cases.
class tst_Cues : public QObject
{
    Q_OBJECT

private slots:
    void visible_data();
    void visible();
    void breaks_data();
    void breaks();
    void wordsReadAlike();
    void speakingTimeSums();
    void splits_data();
    void splits();
    void equalWords();
};

using Texts = QList<QByteArray>;

void tst_Cues::visible_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qsizetype>("length");

    QTest::newRow("tags") << QByteArray("<c.loud big>a</c> <v Anna Maria>b<00:00:01.000>c")
                          << qsizetype(4);
    QTest::newRow("entities") << QByteArray("&amp;&#39;&#x27;&zwj; &amp") << qsizetype(9);
    QTest::newRow("code points") << QByteArray("é€😀") << qsizetype(3);
    QTest::newRow("short entities") << QByteArray("&; &#; &a;") << qsizetype(8);
}

void tst_Cues::visible()
{
    QFETCH(QByteArray, text);
    QFETCH(qsizetype, length);
    QCOMPARE(visibleLength(text), length);
}

void tst_Cues::breaks_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<Break>("expected");

    const struct { const char *before, *after; Break expected; } rows[] = {
        {"end.", "Then", Break::Sentence},
        {"Paris.", "The", Break::Sentence},
        {"A.", "Smith", Break::Bad}, // an initial
        {"plan a.", "Then", Break::Sentence},
        {"Dr.", "Who", Break::Bad},
        {"a.m.", "Tom", Break::Plain},
        {"p.a.", "Tom", Break::Plain},
        {"3.5.", "Then", Break::Sentence},
        {"etc.", "then", Break::Phrase}, // a lower-case word: no sentence ended
        {"etc.", "a...", Break::Phrase},
        {"So...", "What", Break::Sentence},
        {"...", "and", Break::Clause},
        {"the…", "phone", Break::Clause},
        {"Why?”", "- Now!", Break::Forced},
        {"wait!", "he", Break::Clause},
        {"one,", "two", Break::Clause},
        {"the", "house", Break::Bad},
        {"and", "then", Break::Bad},
        {"house", "and", Break::Phrase},
        {"house", "“between", Break::Phrase},
        {"between", "us", Break::Bad},
        {"because", "it", Break::Bad},
        {"word", "-", Break::Bad},
        {"–", "Yes", Break::Sentence}, // cut off
        {"—", "yes", Break::Clause},
        {"(house)", "now", Break::Plain},
        {"&quot;Stop.&quot;", "Now", Break::Sentence},
    };
    for (const auto &row : rows)
        QTest::addRow("%s %s", row.before, row.after) << QByteArray(row.before)
                                                     << QByteArray(row.after) << row.expected;
}

// A word's units as the splitter reads them: entities whole, otherwise code points.
static WordTraits traitsOf(const QByteArray &word)
{
    QList<QByteArrayView> units;
    for (qsizetype i = 0, n; i < word.size(); i += n) {
        const qsizetype semicolon = word.indexOf(';', i);
        n = word[i] == '&' && semicolon > i ? semicolon + 1 - i : 1;
        while (word[i] != '&' && i + n < word.size() && (word[i + n] & 0xC0) == 0x80)
            ++n;
        units.append(QByteArrayView(word).sliced(i, n));
    }
    return wordTraits(units.constData(), units.size());
}

void tst_Cues::breaks()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(Break, expected);
    const WordTraits first = traitsOf(before.split(' ').last());
    QCOMPARE(breakBetween(first, false, traitsOf(after.split(' ').first())), expected);
}

// Most words are read by shortcuts: a run of ASCII classed at once, a short run remembered by
// its bytes. Each word must be what the piece-by-piece reading makes of it, which a tag
// before it forces.
// Words of `count` random pieces each, ended by a blank or, one in eight, a line end.
static QByteArray randomWords(QRandomGenerator &random, int count, const Texts &more = {})
{
    const Texts pieces = Texts{"a", "Q", "x", "the", "Dr", "pp", "no", "and", "because",
                               "e", "9", ".", ",", "...", "!", "?", "'", "\"", "(", ")",
                               "[", "]", "-", ";", "harbourmaster", "é", "Zü", "東",
                               "京。", "「", "」", "กั", "&amp;"}
            + more;
    QByteArray words;
    for (int n = 0; n < count; ++n) {
        for (int k = random.bounded(1, 6); k > 0; --k)
            words += pieces[random.bounded(pieces.size())];
        words += random.bounded(8) ? " " : "\n";
    }
    return words;
}

void tst_Cues::wordsReadAlike()
{
    QRandomGenerator random(20261207);
    const QByteArray passage = randomWords(random, 6000) + ' '; // each word ends before a blank
    WordReader reader(passage);
    bool first = true;
    for (Word word; reader.next(&word); first = false) {
        const QByteArray bytes = passage.sliced(word.begin, word.end - word.begin);
        const qsizetype blank = passage.indexOf(' ', word.begin);
        const QByteArray marked = "<c>" + passage.sliced(word.begin).first(blank - word.begin);
        Word alone;
        QVERIFY(WordReader(marked).next(&alone));
        const qint64 own = word.spokenTo - word.spokenFrom - (first ? 0 : pauseUnits(word.before));
        QVERIFY2(alone.end == bytes.size() + 3 && alone.to - alone.from == word.to - word.from
                         && alone.spokenTo == own && alone.traits.end == word.traits.end
                         && alone.traits.start == word.traits.start
                         && alone.traits.role == word.traits.role,
                 bytes);
    }
}

// The first reading sums a passage's speaking time without making most of its words, and
// must come to what the words made one by one add up to, tags after words included.
void tst_Cues::speakingTimeSums()
{
    QRandomGenerator random(20261208);
    for (int n = 0; n < 300; ++n) { // passages long enough to repeat their words
        const QByteArray passage =
                randomWords(random, random.bounded(1, 80), {"<i>", "</i>", " </i> "});
        WordReader reader(passage);
        qint64 sum = 0;
        for (Word word; reader.next(&word);)
            sum = word.spokenTo;
        QVERIFY2(WordReader(passage).speakingTime() == sum, passage);
    }
}

// Whole splits, each row named by its cues, parted by " | ", with their lines parted by " / ":
// the text is theirs joined by spaces.
void tst_Cues::splits_data()
{
    QTest::addColumn<int>("chars");
    QTest::addColumn<int>("lines");
    QTest::addColumn<qint64>("duration");

    const struct { const char *cues; int chars, lines; qint64 ms; } rows[] = {
        {"We met | antidisestablishmentarianism | head on.", 42, 2, 20000},
        {"See the results / (pp. 112-147) | in full, as we said.", 20, 2, 6000},
        {"With the boat / rolling so badly | that the cars / broke loose.", 20, 2, 6000},
        // Line starts: a second is too short for two cues.
        {"one two three / four five six", 20, 2, 1000}, // even
        {"Yes. / I know, but we must go.", 24, 2, 1000}, // a sentence's end over an even split
        {"I know, but we must go. / Yes.", 24, 2, 1000},
        {"We met antidisestablishmentarianism / head on.", 40, 2, 1000}, // not "head / on."
        {"We looked / at the old photos", 20, 2, 1000}, // not "at /" or "the /"
        {"Go then. / - No. / - Fine. We will all go back home now.", 40, 3, 1000}, // a turn a line
        {"We met the / antidisestablishmentarianism / head on.", 20, 3, 1000}, // too long: alone
        // Strands: a sentence's first word ending a line, its last word starting one.
        {"It is late. Now the dog / is very tired.", 23, 2, 1000},
        {"It is late. Well, / we should all go.", 22, 2, 1000},
        {"Are you coming with us, / Emo? Yes, I am coming, / wait for me.", 25, 3, 1000},
        {"- Who / is it? / - Only me.", 10, 3, 1000},
        {"I never / said that... I said / we might, if the / weather was good.", 19, 4, 1000},
    };
    for (const auto &row : rows)
        QTest::addRow("%s", row.cues) << row.chars << row.lines << row.ms;
}

void tst_Cues::splits()
{
    QFETCH(int, chars);
    QFETCH(int, lines);
    QFETCH(qint64, duration);
    const QByteArray expected = QTest::currentDataTag();
    const QByteArray text = QByteArray(expected).replace(" / ", " ").replace(" | ", " ");
    Texts cues;
    for (const Cue &cue : splitPassage(text, 0, duration, {chars, lines}))
        cues.append(QByteArray(cue.text).replace('\n', " / "));
    QCOMPARE(cues.join(" | "), expected);
}

// Words that split equally well keep the planner's ways apart: past a bound, it makes the
// best way's cues without waiting for them to meet, and goes on from those.
void tst_Cues::equalWords()
{
    const QByteArray text = QByteArray("la ").repeated(10000).chopped(1);
    QByteArray words;
    qint64 end = 0;
    for (const Cue &cue : splitPassage(text, 0, 600000, {42, 2})) {
        QVERIFY(cue.start == end && cue.end > end && cue.text.count('\n') < 2);
        for (const QByteArray &line : cue.text.split('\n'))
            QVERIFY(line.size() <= 42);
        words += cue.text + ' ';
        end = cue.end;
    }
    QCOMPARE(end, 600000);
    QCOMPARE(words.replace('\n', ' ').chopped(1), text);
}

QTEST_APPLESS_MAIN(tst_Cues)
#include "tst_cues.moc"
