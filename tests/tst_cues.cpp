#include "cues.h"

#include <QRandomGenerator>
#include <QTest>

class tst_Cues : public QObject
{
    Q_OBJECT

private slots:
    void visible_data();
    void visible();
    void split_data();
    void split();
    void generatedPassages();
};

using Texts = QList<QByteArray>;

void tst_Cues::visible_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qsizetype>("length");

    QTest::newRow("tags") << QByteArray("<c.loud big>a</c> <v Anna Maria>b<00:00:01.000>c") << qsizetype(4);
    QTest::newRow("entities") << QByteArray("&amp;&#39;&#x27; &amp") << qsizetype(8);
    QTest::newRow("stray marks") << QByteArray("a < b && c > d <3") << qsizetype(17);
    QTest::newRow("code points") << QByteArray("é€😀") << qsizetype(3);
    QTest::newRow("empty entities") << QByteArray("&; &#;") << qsizetype(6);
}

void tst_Cues::visible()
{
    QFETCH(QByteArray, text);
    QFETCH(qsizetype, length);
    QCOMPARE(visibleLength(text), length);
}

void tst_Cues::split_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("maxChars");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<Texts>("cues");

    QTest::newRow("fits unchanged") << QByteArray("Hello   there &amp; <b>you</b>") << 20 << 1
                                    << Texts{"Hello   there &amp; <b>you</b>"};
    QTest::newRow("sentence end") << QByteArray("The cat sat on the mat. Then it slept for a very long time in the sun.")
                                  << 30 << 2 << Texts{"The cat sat on the mat.", "Then it slept for a very\nlong time in the sun."};
    QTest::newRow("cue fill") << QByteArray("Yes. We should go. I think that the river is warm today and we can swim there before the sun sets.")
                              << 30 << 1 << Texts{"Yes. We should go.", "I think that the river is warm", "today and we can swim",
                                                  "there before the sun sets."};
    QTest::newRow("question") << QByteArray("Yes. We should go? I think that the river is warm today and we can swim there before the sun sets.")
                              << 30 << 1 << Texts{"Yes. We should go?", "I think that the river is warm", "today and we can swim",
                                                  "there before the sun sets."};
    QTest::newRow("curly quotes") << QByteArray("She said “stop.” He did not listen at all and kept walking on")
                                  << 32 << 2 << Texts{"She said “stop.”", "He did not listen at all\nand kept walking on"};
    QTest::newRow("ruby text closed with its ruby") << QByteArray("<ruby>base<rt>note</ruby> then a long tail of words") << 20 << 1
                                                    << Texts{"<ruby>base<rt>note</ruby> then a", "long tail of words"};
    QTest::newRow("nested tags closed inside out") << QByteArray("<i><b>one two three four five six seven</b></i>") << 20 << 1
                                                   << Texts{"<i><b>one two three four</b></i>", "<i><b>five six seven</b></i>"};
    QTest::newRow("quoted sentence end") << QByteArray("She said \"stop.\" He did not listen at all and kept walking on")
                                         << 32 << 2 << Texts{"She said \"stop.\"", "He did not listen at all\nand kept walking on"};
    QTest::newRow("comma") << QByteArray("After the long and tiring journey, we finally reached home") << 40 << 2
                           << Texts{"After the long and tiring journey,\nwe finally reached home"};
    QTest::newRow("conjunction") << QByteArray("We stayed at home all day long because it kept raining") << 32 << 2
                                 << Texts{"We stayed at home all day long\nbecause it kept raining"};
    QTest::newRow("balance") << QByteArray("one two three four five six seven eight nine ten") << 40 << 2
                             << Texts{"one two three four five\nsix seven eight nine ten"};
    QTest::newRow("tag across cuts") << QByteArray("x <b>one two three four five six seven eight nine ten eleven</b>") << 20 << 1
                                     << Texts{"x <b>one two three four</b>", "<b>five six seven eight</b>", "<b>nine ten eleven</b>"};
    QTest::newRow("annotated tags") << QByteArray("<c.loud big>alpha beta <lang en>gamma delta</lang> epsilon</c>") << 12 << 1
                                    << Texts{"<c.loud big>alpha beta</c>", "<c.loud big><lang en>gamma delta</lang></c>",
                                             "<c.loud big>epsilon</c>"};
    QTest::newRow("entity") << QByteArray("Fish &amp; chips &amp; peas") << 12 << 1 << Texts{"Fish &amp; chips", "&amp; peas"};
    QTest::newRow("long word") << QByteArray("a supercalifragilisticexpialidocious b") << 10 << 1
                               << Texts{"a", "supercalifragilisticexpialidocious", "b"};
    QTest::newRow("code points") << QByteArray("Ünïcödé wörds ärë çöüntéd ås öne éach ok") << 14 << 2
                                 << Texts{"Ünïcödé\nwörds ärë", "çöüntéd ås\nöne éach ok"};
}

void tst_Cues::split()
{
    QFETCH(QByteArray, text);
    QFETCH(int, maxChars);
    QFETCH(int, maxLines);
    QFETCH(Texts, cues);

    Texts texts;
    for (const CueText &cue : splitPassage(text, maxChars, maxLines))
        texts.append(cue.text);
    QCOMPARE(texts, cues);
}

// The generator writes '<' only in tags, so dropping every <...> leaves what a viewer reads.
static QByteArray withoutTags(const QByteArray &text)
{
    QByteArray bare;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '<')
            i = text.indexOf('>', i);
        else
            bare += text[i];
    }
    return bare;
}

static Texts wordsOf(const QByteArray &text)
{
    return withoutTags(text).simplified().split(' ');
}

void tst_Cues::generatedPassages()
{
    static const char *const vocabulary[] = {
        "a", "word", "end.", "then", "so,", "&amp;", "x&lt;y", "été", "“quoted.”",
        "tab\tbed", "antidisestablishmentarianism", "<00:00:01.000>time"};
    static const char *const tags[][2] = {{"<i>", "</i>"}, {"<c.yellow big>", "</c>"}, {"<lang en>", "</lang>"},
                                         {"<v Anna Maria>", "</v>"}, {"<ruby>", "</ruby>"}};
    QRandomGenerator random(20240531);
    for (int round = 0; round < 400; ++round) {
        const int maxChars = random.bounded(10, 61);
        const int maxLines = random.bounded(1, 5);
        const int count = round == 0 ? 20000 : random.bounded(1, 80);
        QByteArray text;
        QList<int> open;
        for (int w = 0; w < count; ++w) {
            if (w > 0)
                text += ' ';
            if (random.bounded(6) == 0) {
                open.append(random.bounded(5));
                text += tags[open.last()][0] + QByteArray(random.bounded(3) ? "" : " ");
            }
            text += vocabulary[random.bounded(int(std::size(vocabulary)))];
            while (!open.isEmpty() && (w == count - 1 || random.bounded(4) == 0))
                text += QByteArray(random.bounded(3) ? "" : " ") + tags[open.takeLast()][1];
        }

        const QList<CueText> cues = splitPassage(text, maxChars, maxLines);
        Texts words;
        for (const CueText &cue : cues) {
            const Texts lines = cue.text.split('\n');
            QVERIFY2(lines.size() <= maxLines, cue.text.constData());
            for (const QByteArray &line : lines) {
                QVERIFY2(line == line.trimmed(), line.constData());
                QVERIFY2(visibleLength(line) <= maxChars || !withoutTags(line).simplified().contains(' '),
                         line.constData());
            }
            // Tags still open at a cut are closed in that cue.
            QCOMPARE(cue.text.count("</"), cue.text.count('<') - cue.text.count("</") - cue.text.count("<0"));
            words += wordsOf(cue.text);
        }
        QCOMPARE(words, wordsOf(text));
    }
}

QTEST_APPLESS_MAIN(tst_Cues)
#include "tst_cues.moc"
